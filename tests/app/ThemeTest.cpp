// Both windows in other themes: where the design fixes a background (the
// first window's white), the text on it is fixed to match; everything else
// takes the user's colours. Checked on the rendered pixels.

#include "app/Form1.h"
#include "results/Form2.h"
#include "scan/FoundFileTable.h"

#include "Palettes.h"
#include "TestServices.h"

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QAbstractItemView>

#include <gtest/gtest.h>

#include <cmath>

namespace {

double luminance(QRgb colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) + 0.0722 * channel(qBlue(colour));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// True when two colours differ by no more than a style's shading (a frame's tint).
bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8 && std::abs(qBlue(a) - qBlue(b)) <= 8;
}

struct Sample {
    QRgb background = 0;
    QRgb text = 0;
    double ratio = 0;
};

// The commonest colour of `area` in the rendered window is its background;
// the pixel that stands out most from it is the text.
Sample sampleText(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    Sample sample;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
            most = it.value(), sample.background = it.key();
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double ratio = contrast(it.key(), sample.background);
        if (ratio > sample.ratio)
            sample.ratio = ratio, sample.text = it.key();
    }
    return sample;
}

// Where `widget` shows its caption in the window's image: right of an option's indicator, the top line of a frame.
QRect captionArea(QWidget* window, QWidget* widget)
{
    QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
    if (widget->inherits("QRadioButton"))
        area.setLeft(area.left() + 22);
    else if (widget->inherits("QGroupBox"))
        area = QRect(area.left() + 8, area.top(), 120, 14);
    return area;
}

QImage render(QWidget& window)
{
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    return window.grab().toImage();
}

void expectReadable(QWidget& window, const QImage& image, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        auto* widget = window.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        const Sample sample = sampleText(image, captionArea(&window, widget));
        EXPECT_GE(sample.ratio, 4.5) << name << ": text " << std::hex << sample.text << " on " << sample.background;
    }
}

} // namespace

TEST(Theme, FirstWindowKeepsDarkTextOnItsWhiteDesignAndTheListFollowsTheTheme)
{
    const PaletteGuard dark(darkPalette());
    TestServices test;
    test.dialogs.folders << "/home/ada/Pictures";
    Form1 form(test.services);
    form.Form_Load();
    form.PushButton1_Click();
    const QImage image = render(form);

    expectReadable(form, image, {"Frame2", "Option1", "Option2", "Option3"});
    const Sample option = sampleText(image, captionArea(&form, form.findChild<QWidget*>("Option1")));
    EXPECT_TRUE(near(option.background, qRgb(255, 255, 255))) << std::hex << option.background;
    EXPECT_LT(luminance(option.text), 0.05);
    // The list's empty part shows the theme's field colour.
    QWidget* viewport = form.findChild<QAbstractItemView*>("ListView1")->viewport();
    const QPoint inList = viewport->mapTo(&form, QPoint(viewport->width() / 2, viewport->height() - 5));
    EXPECT_EQ(image.pixel(inList) | 0xff000000, darkPalette().color(QPalette::Base).rgb());
    // The design's white stays out of the list: its header right of the column is the theme's.
    auto* list = form.findChild<QAbstractItemView*>("ListView1");
    const QPoint headerEnd = list->mapTo(&form, QPoint(list->width() - 20, 8));
    EXPECT_FALSE(near(image.pixel(headerEnd), qRgb(255, 255, 255))) << std::hex << image.pixel(headerEnd);
}

TEST(Theme, SecondWindowTakesTheThemesButtonColoursWithTheirText)
{
    // A dark theme, and one whose button faces are light on dark windows:
    // the text on the button-face background must be the button text.
    QPalette lightButtons = darkPalette();
    lightButtons.setColor(QPalette::Button, QColor(0xdc, 0xdc, 0xdc));
    lightButtons.setColor(QPalette::ButtonText, QColor(0x10, 0x10, 0x10));
    for (const QPalette& palette : {darkPalette(), lightButtons}) {
        const PaletteGuard theme(palette);
        TestServices test;
        FoundFileTable table;
        Form2 form(test.services, table);
        form.prepareForScan(QPoint(0, 0), DateKind::Modified);
        const QImage image = render(form);
        expectReadable(form, image, {"Frame1", "Option1", "Option2", "Option3", "Option4", "Label1"});
        const Sample label = sampleText(image, captionArea(&form, form.findChild<QLabel*>("Label1")));
        EXPECT_TRUE(near(label.background, palette.color(QPalette::Button).rgb())) << std::hex << label.background;
    }
}
