// The modal progress dialog of a long write into a file (an export, a
// codebook): it shows after 0.4 s, with a Cancel button, and is fed by the
// writer's progress calls.
#pragma once

#include <QProgressDialog>

#include <cstdint>
#include <functional>

class QString;
class QWidget;

namespace brindle {

class WriteProgress {
 public:
  // stopRequested: asked at every step besides Cancel (the window closing).
  WriteProgress(QWidget* parent, const QString& title, const QString& text,
                std::function<bool()> stopRequested);
  WriteProgress(const WriteProgress&) = delete;
  WriteProgress& operator=(const WriteProgress&) = delete;

  // Shows done of total (nothing when total is unknown, 0), lets the event
  // loop run, and says whether to go on: false once Cancel was pressed or a
  // stop requested.
  bool step(std::int64_t done, std::int64_t total);
  void close() { m_dialog.close(); }

 private:
  QProgressDialog m_dialog;
  std::function<bool()> m_stopRequested;
};

}  // namespace brindle
