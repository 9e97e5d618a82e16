#pragma once
// Themes for window tests: a dark palette as dark desktop themes give it, and
// a guard that sets the application's palette for one test.

#include <QApplication>
#include <QPalette>

/** A dark theme: light text on dark windows, buttons and fields. */
inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2e, 0x33));
    palette.setColor(QPalette::WindowText, QColor(0xe8, 0xea, 0xed));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x20, 0x24));
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x29, 0x2e));
    palette.setColor(QPalette::Text, QColor(0xe8, 0xea, 0xed));
    palette.setColor(QPalette::Button, QColor(0x36, 0x3a, 0x40));
    palette.setColor(QPalette::ButtonText, QColor(0xe8, 0xea, 0xed));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    palette.setColor(QPalette::HighlightedText, QColor(0xfc, 0xfc, 0xfc));
    palette.setColor(QPalette::ToolTipBase, QColor(0x31, 0x36, 0x3b));
    palette.setColor(QPalette::ToolTipText, QColor(0xe8, 0xea, 0xed));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8f, 0x96));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x70, 0x74, 0x7a));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x70, 0x74, 0x7a));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x74, 0x7a));
    return palette;
}

/** Sets the application's palette while it lives, then puts the previous one back. */
class PaletteGuard {
public:
    explicit PaletteGuard(const QPalette& palette)
        : m_saved(QApplication::palette())
    {
        QApplication::setPalette(palette);
    }
    ~PaletteGuard() { QApplication::setPalette(m_saved); }
    PaletteGuard(const PaletteGuard&) = delete;
    PaletteGuard& operator=(const PaletteGuard&) = delete;

private:
    QPalette m_saved;
};
