#pragma once
// The editor's look: Qt's Fusion style with a dark, low-contrast palette, calm enough to sit
// beside a programme monitor for hours.
class QApplication;

namespace qv {

void ApplyEditorStyle(QApplication& App);

}  // namespace qv
