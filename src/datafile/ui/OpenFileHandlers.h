// The viewer's side of opening a data file: the Open dialog, and the opening
// itself with its error message. The module calls and texts are in datafile/.
#pragma once

#include <QString>

#include "datafile/DataFileState.h"

class QWidget;

namespace brindle {

class UiService;

// The file the user picks in the Open dialog over parent, which starts in
// folder; empty when none.
QString AskDataFileName(UiService& ui, QWidget* parent, const QString& folder);

// Opens the file into a state of its own, under the wait cursor: with key
// when an earlier open of an encrypted file found it (a reload), else, for
// an encrypted file, with the password asked for over parent. A file that
// cannot be opened is reported ("File open error") and false returned; a
// cancelled password dialog returns false and reports nothing.
bool OpenDataFileReported(UiService& ui, QWidget* parent, const QString& name,
                          DataFileState& opened, const FileKey* key = nullptr);

}  // namespace brindle
