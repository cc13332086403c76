// For the panes' own tests: a pane shown alone in a host widget of its own,
// over a data file opened without the main window, its messages recorded.
#pragma once

#include <QAbstractItemModel>
#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <string>

#include "datafile/DataFileState.h"
#include "datafile/DictionaryLoader.h"
#include "datafile/ui/OpenFileGuard.h"
#include "datafile/ui/OpenFileHandlers.h"
#include "platform/UiService.h"
#include "variables/ui/VariablesGrid.h"
#include "variables/ui/VariablesPane.h"

namespace brindle::testing {

// The variables pane, its find bar above its grid, in a shown and active
// host of 500 x 600.
struct ShownVariablesPane {
  RecordingUiService ui;
  QWidget host;
  VariablesPane pane{ui, &host};
  DataFileState file;
  OpenFileGuard openFile{file};

  ShownVariablesPane() {
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane.findBar());
    layout->addWidget(pane.variablesGrid(), 1);
    host.resize(500, 600);
    host.show();
    QApplication::setActiveWindow(&host);
    (void)QTest::qWaitForWindowActive(&host);
  }

  // Opens a data file and fills the pane's table from it, as the window does.
  bool Open(const std::string& path) {
    if (!OpenDataFileReported(ui, &host, QString::fromStdString(path), file)) return false;
    pane.variablesGrid()->SetDataSourceEnabled(false);
    const DictionaryLoadResult result = LoadDictionary(file, pane.variableList(), NumberSeparators{});
    pane.variablesGrid()->SetDataSourceEnabled(true);
    pane.SetEnabled(true);
    return result.errorCode == 0;
  }

  // Clicks a data row (0-based among the visible rows) of the grid.
  void ClickRow(int row, Qt::KeyboardModifiers mods = Qt::NoModifier,
                Qt::MouseButton button = Qt::LeftButton) {
    const QAbstractItemModel* model = pane.variablesGrid()->model();
    const QPoint point = pane.variablesGrid()->visualRect(model->index(row, 0)).center();
    QTest::mouseClick(pane.variablesGrid()->viewport(), button, mods, point);
  }

  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(pane.variablesGrid(), static_cast<Qt::Key>(key), mods);
  }

  // The names in the grid, top to bottom.
  QStringList GridNames() const {
    QStringList names;
    const QAbstractItemModel* model = pane.variablesGrid()->model();
    for (int r = 0; r < model->rowCount(); ++r) names << model->index(r, 0).data().toString();
    return names;
  }

  int Count(const char* kind) const { return ui.Count(QString::fromLatin1(kind)); }
};

}  // namespace brindle::testing
