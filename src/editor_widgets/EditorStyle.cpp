#include "editor_widgets/EditorStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace qv {

void ApplyEditorStyle(QApplication& App) {
  App.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette p;
  const QColor window(45, 47, 51);
  const QColor base(30, 31, 34);
  const QColor text(215, 218, 222);
  const QColor dimText(120, 124, 130);
  const QColor accent(64, 128, 196);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(38, 40, 44));
  p.setColor(QPalette::ToolTipBase, QColor(60, 63, 68));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, dimText);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(55, 58, 63));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 96, 96));
  p.setColor(QPalette::Link, accent.lighter(130));
  p.setColor(QPalette::Highlight, accent);
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Light, QColor(70, 73, 79));
  p.setColor(QPalette::Midlight, QColor(62, 65, 70));
  p.setColor(QPalette::Mid, QColor(40, 42, 46));
  p.setColor(QPalette::Dark, QColor(24, 25, 28));
  p.setColor(QPalette::Shadow, Qt::black);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, dimText);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(70, 73, 79));
  App.setPalette(p);
}

}  // namespace qv
