#include "results/Form2.h"

#include "app/Application.h"
#include "app/Failure.h"
#include "app/Settings.h"
#include "app/Translations.h"
#include "app/WindowFont.h"
#include "app/WindowPointer.h"
#include "platform/CursorFile.h"
#include "platform/FileSystem.h"
#include "results/ResultListView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr char kCursorFileName[] = "HAND-M.CUR";
const char* const kPickerKeys[5] = {settings::kPicker1, settings::kPicker2, settings::kPicker3,
                                    settings::kPicker4, settings::kPicker5};
const char* const kOptionKeys[4] = {settings::kRangeOption1, settings::kRangeOption2,
                                    settings::kRangeOption3, settings::kRangeOption4};

/** A rectangle given in twips, in pixels. */
QRect pixelRectOfTwips(int left, int top, int width, int height)
{
    const int k = Form2::kTwipsPerPixel;
    return QRect(left / k, top / k, width / k, height / k);
}

/**
 * The wall-clock value of local seconds as the pickers hold it: in a zone
 * without gaps, so that a time the clocks skipped in spring is kept as written.
 */
QDateTime pickerDateTime(qint64 localSeconds)
{
    const qint64 day = dayNumberOf(localSeconds);
    const qint64 second = localSeconds - day * kSecondsPerDay;
    return QDateTime(QDate(1899, 12, 30).addDays(day), QTime::fromMSecsSinceStartOfDay(int(second * 1000)), Qt::UTC);
}

} // namespace

QString Form2::location(const char* procedure)
{
    return procedureLocation(QStringLiteral("Form2"), QString::fromLatin1(procedure));
}

Form2::Form2(AppServices& services, const FoundFileTable& table, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_table(table)
    , m_model(new ResultTableModel(table, this))
    , m_pointer(new WindowPointer(this))
{
    buildLayout();
    installUndo();
}

Form2::~Form2() = default;

void Form2::buildLayout()
{
    setObjectName(QStringLiteral("Form2"));
    setFont(arialBold(9));
    setFixedSize(8040 / kTwipsPerPixel, 8280 / kTwipsPerPixel);
    setWindowFlags(windowFlags() | Qt::MSWindowsFixedSizeDialogHint);

    const struct {
        const char* caption;
        QRect geometry;
    } buttons[7] = {
        {QT_TR_NOOP("Start Finding"), pixelRectOfTwips(120, 3600, 7800, 405)},
        {QT_TR_NOOP("< Back"), pixelRectOfTwips(120, 120, 7800, 405)},
        {QT_TR_NOOP("Send Checked To Recycle Bin"), pixelRectOfTwips(120, 7770, 7800, 405)},
        {QT_TR_NOOP("Select All"), pixelRectOfTwips(120, 6750, 3840, 405)},
        {QT_TR_NOOP("Unselect All"), pixelRectOfTwips(4080, 6750, 3840, 405)},
        {QT_TR_NOOP("Save Results As Text File"), pixelRectOfTwips(4080, 7260, 3840, 405)},
        {QT_TR_NOOP("Copy Results To Clipboard"), pixelRectOfTwips(120, 7260, 3840, 405)},
    };
    for (int i = 0; i < 7; ++i) {
        auto* button = new QPushButton(tr(buttons[i].caption), this);
        button->setObjectName(QStringLiteral("PushButton%1").arg(i + 1));
        button->setGeometry(buttons[i].geometry);
        button->setFont(arialBold(11.25));
        button->setAutoDefault(false);
        m_buttons[size_t(i)] = button;
    }

    m_frame = new QGroupBox(tr("Select Range"), this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setGeometry(pixelRectOfTwips(120, 570, 7800, 2895));

    const char* const optionCaptions[4] = {QT_TR_NOOP("After this date:"), QT_TR_NOOP("Before this date:"),
                                           QT_TR_NOOP("On this date:"), QT_TR_NOOP("Between:")};
    const int rowTops[5] = {360, 840, 1320, 1800, 2280};
    for (int i = 0; i < 4; ++i) {
        auto* option = new QRadioButton(tr(optionCaptions[i]), m_frame);
        option->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        option->setGeometry(pixelRectOfTwips(240, rowTops[i], 1935, 375));
        m_options[size_t(i)] = option;
        connect(option, &QRadioButton::clicked, this, [this, i] { Option_Click(i + 1); });
    }

    const QString pickerFormat = generalDateFormat(QLocale::system()) + QLatin1Char(' ')
        + generalTimeFormat(QLocale::system());
    const QDateTime initial = pickerDateTime(localSecondsOf(m_services.clock.today()));
    for (int i = 0; i < 5; ++i) {
        auto* picker = new QDateTimeEdit(m_frame);
        picker->setObjectName(QStringLiteral("DTPicker%1").arg(i + 1));
        picker->setTimeSpec(Qt::UTC);
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(pickerFormat);
        picker->setMinimumDateTime(QDateTime(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC));
        picker->setMaximumDateTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC));
        picker->setDateTime(initial);
        const int width = i == 3 ? 4815 : 5295;
        picker->setGeometry(pixelRectOfTwips(2280, rowTops[i], width, 375));
        // The text field inside the picker sets the I-beam on itself, which
        // would hide the window's pointer (the arrow, or the hourglass while
        // busy) over the picker; it shows the window's pointer instead.
        for (QLineEdit* field : picker->findChildren<QLineEdit*>())
            field->unsetCursor();
        m_pickers[size_t(i)] = picker;
        connect(picker, &QDateTimeEdit::dateTimeChanged, this, [this, i] { DTPicker_Change(i + 1); });
    }

    m_label = new QLabel(tr("and"), m_frame);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setGeometry(pixelRectOfTwips(7200, 1845, 375, 375));

    m_list = new ResultListView(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setGeometry(pixelRectOfTwips(120, 4125, 7800, 2535));
    m_list->setToolTip(tr("Move | line to right and out of window to reveal full names."));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setModel(m_model);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);

    connect(m_buttons[0], &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(m_buttons[1], &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(m_buttons[2], &QPushButton::clicked, this, &Form2::PushButton3_Click);
    connect(m_buttons[3], &QPushButton::clicked, this, &Form2::PushButton4_Click);
    connect(m_buttons[4], &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(m_buttons[5], &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(m_buttons[6], &QPushButton::clicked, this, &Form2::PushButton7_Click);

    // Hover rules: the buttons show the hand, everything else the arrow. A
    // button's pointer moves must not reach the window behind it, which would
    // set the arrow again at once; the parts inside a picker or the list carry
    // their control's rule.
    const auto hover = [this](QWidget* widget, PointerState target) {
        m_pointer->setHoverRule(widget, target);
        for (QWidget* child : widget->findChildren<QWidget*>())
            if (!child->property("chronopurgeHoverTarget").isValid())
                m_pointer->setHoverRule(child, target);
    };
    for (QPushButton* button : m_buttons) {
        button->setAttribute(Qt::WA_NoMousePropagation);
        hover(button, PointerState::Custom);
    }
    m_pointer->setHoverRule(this, PointerState::Default);
    m_pointer->setHoverRule(m_frame, PointerState::Default);
    m_pointer->setHoverRule(m_label, PointerState::Default);
    for (QRadioButton* option : m_options)
        hover(option, PointerState::Default);
    for (QDateTimeEdit* picker : m_pickers)
        hover(picker, PointerState::Default);
    hover(m_list, PointerState::Default);

    setKeyboardAccess();
}

void Form2::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    GuardedProcedure guard(m_services.dialogs, location("Form_Load"));

    guard.step(100, [&] {
        // The window, its frame, options and label take the colour of button
        // faces, and so the text colour that goes with it.
        QPalette colours = palette();
        colours.setColor(QPalette::Window, colours.color(QPalette::Button));
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            colours.setColor(group, QPalette::WindowText, colours.color(group, QPalette::ButtonText));
        setPalette(colours);
        setAutoFillBackground(true);
        for (QWidget* widget : std::initializer_list<QWidget*>{m_frame, m_label, m_options[0], m_options[1],
                                                              m_options[2], m_options[3]})
            widget->setPalette(colours);
    });
    guard.step(102, [&] {
        setWindowTitle(QString::fromLatin1(kProductName));
        setWindowIcon(QApplication::windowIcon());
    });

    const QString cursorPath = m_services.programFolder + QLatin1Char('/') + QString::fromLatin1(kCursorFileName);
    if (guard.test(106, [&] { return platform::fileExists(cursorPath); })) {
        guard.step(108, [&] {
            m_pointer->loadCustomCursor(cursorPath);
        });
    }

    // Defaults are computed first and written in the general date form, so a
    // default goes through the same reading as a stored text.
    const QDate today = m_services.clock.today();
    const QString yearAgo = generalDateText(localSecondsOf(today.addYears(-1)));
    const QString yesterday = generalDateText(localSecondsOf(today.addDays(-1)));
    for (int i = 0; i < 5; ++i) {
        guard.step(110 + 2 * i, [&] {
            const QString text = m_services.settings.read(QString::fromLatin1(kPickerKeys[i]), i < 4 ? yearAgo : yesterday);
            setPickerFromText(i + 1, text);
        });
    }

    // Choosing an option rewrites all four keys, so the first true key wins
    // and the keys after it read "False".
    for (int i = 0; i < 4; ++i) {
        guard.step(120 + 2 * i, [&] {
            const bool selected = settings::readBoolean(m_services.settings, QString::fromLatin1(kOptionKeys[i]), i == 0 ? 1 : 0);
            if (selected) {
                m_options[size_t(i)]->setChecked(true);
                Option_Click(i + 1);
            } else if (m_options[size_t(i)]->isChecked()) {
                m_options[size_t(i)]->setAutoExclusive(false);
                m_options[size_t(i)]->setChecked(false);
                m_options[size_t(i)]->setAutoExclusive(true);
            }
        });
    }

    // The enable rule; with no option selected every picker keeps its state.
    for (int i = 0; i < 4; ++i) {
        const int testStep = 128 + 12 * i;
        if (guard.test(testStep, [&] { return m_options[size_t(i)]->isChecked(); })) {
            for (int p = 0; p < 5; ++p) {
                guard.step(testStep + 2 + 2 * p, [&] {
                    const bool enabled = i < 3 ? p == i : p >= 3;
                    m_pickers[size_t(p)]->setEnabled(enabled);
                });
            }
        }
    }
}

void Form2::setPickerFromText(int number, const QString& text)
{
    // A date stored under another language (the user changed LANG since) is
    // read too; only a text no form of the program reads is reported. The
    // other forms are gathered only when the current one does not read it.
    std::optional<qint64> seconds = parseGeneralDate(text);
    if (!seconds) {
        if (m_storedDateLocales.isEmpty())
            m_storedDateLocales = storedDateLocales(QLocale::system(), shippedLanguages());
        seconds = parseStoredDate(text, m_storedDateLocales);
    }
    if (!seconds)
        fail(QStringLiteral("Type mismatch"));
    QDateTimeEdit* edit = picker(number);
    const QDateTime value = pickerDateTime(*seconds);
    if (!value.isValid() || value < edit->minimumDateTime() || value > edit->maximumDateTime())
        fail(QStringLiteral("Invalid property value"));
    m_settingPicker = true;
    edit->setDateTime(value);
    m_settingPicker = false;
}

void Form2::Option_Click(int number)
{
    for (int i = 0; i < 4; ++i)
        settings::writeBoolean(m_services.settings, QString::fromLatin1(kOptionKeys[i]), m_options[size_t(i)]->isChecked());
    applyEnableRule(number);
}

void Form2::applyEnableRule(int number)
{
    for (int p = 0; p < 5; ++p) {
        const bool enabled = number < 4 ? p == number - 1 : p >= 3;
        m_pickers[size_t(p)]->setEnabled(enabled);
    }
}

void Form2::chooseOption(int number)
{
    m_options[size_t(number - 1)]->setChecked(true);
    Option_Click(number);
}

void Form2::DTPicker_Change(int number)
{
    if (m_settingPicker)
        return;
    m_services.settings.write(QString::fromLatin1(kPickerKeys[number - 1]), generalDateText(pickerSeconds(number)));
}

std::optional<RangeMode> Form2::rangeMode() const
{
    const RangeMode modes[4] = {RangeMode::After, RangeMode::Before, RangeMode::On, RangeMode::Between};
    for (int i = 0; i < 4; ++i)
        if (m_options[size_t(i)]->isChecked())
            return modes[i];
    return std::nullopt;
}

qint64 Form2::pickerSeconds(int number) const
{
    const QDateTime value = picker(number)->dateTime();
    return localSecondsOf(value.date(), value.time());
}

void Form2::setPickerSeconds(int number, qint64 localSeconds)
{
    picker(number)->setDateTime(pickerDateTime(localSeconds));
}

void Form2::prepareForScan(const QPoint& topLeft, DateKind kind)
{
    GuardedProcedure guard(m_services.dialogs,
                           procedureLocation(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click")));
    prepareForScan(topLeft, kind, guard);
}

void Form2::prepareForScan(const QPoint& topLeft, DateKind kind, GuardedProcedure& guard)
{
    // Touching the window loads it first.
    Form_Load();
    guard.step(206, [&] { move(x(), topLeft.y()); });
    guard.step(208, [&] { move(topLeft.x(), y()); });
    guard.step(210, [&] { chooseOption(1); });
    guard.step(212, [&] { m_model->clear(); });
    const QString cursorPath = m_services.programFolder + QLatin1Char('/') + QString::fromLatin1(kCursorFileName);
    if (guard.test(214, [&] { return platform::fileExists(cursorPath); })) {
        guard.step(216, [&] {
            m_pointer->loadCustomCursor(cursorPath);
        });
    }
    QString pathHeader;
    QString dateHeader;
    guard.step(218, [&] { m_model->setHeaders(QString(), QString()); });
    guard.step(224, [&] { pathHeader = tr("File(s) Found"); });
    guard.step(226, [&] {
        m_model->setHeaders(pathHeader, dateHeader);
        m_list->header()->resizeSection(ResultTableModel::PathColumn, kPathColumnTwips / kTwipsPerPixel);
    });
    // The date kinds are tested one by one, as when the dates were recorded.
    const DateKind kinds[3] = {DateKind::Modified, DateKind::Created, DateKind::Accessed};
    for (int i = 0; i < 3; ++i) {
        if (guard.test(228 + 4 * i, [&] { return kind == kinds[i]; }))
            guard.step(230 + 4 * i, [&] { dateHeader = dateKindHeader(kinds[i]); });
    }
    guard.step(240, [&] {
        m_model->setHeaders(pathHeader, dateHeader);
        m_list->header()->resizeSection(ResultTableModel::DateColumn, kDateColumnTwips / kTwipsPerPixel);
    });
}

void Form2::setAllChecked(GuardedProcedure& guard, bool checked)
{
    // One pass over the check flags and one signal for the view: a signal per
    // row would cost seconds on a million rows.
    int count = 0;
    guard.step(100, [&] { count = m_model->rowCount(); });
    if (count == 0)
        return;
    guard.step(102, [&] { m_model->setAllChecked(checked); });
}

void Form2::PushButton2_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton2_Click"));
    guard.step(100, [&] {
        if (!m_showFirstWindow)
            fail(QStringLiteral("Object variable not set"));
        m_showFirstWindow();
    });
    guard.step(102, [&] { hide(); });
}

void Form2::PushButton4_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton4_Click"));
    setAllChecked(guard, true);
}

void Form2::PushButton5_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton5_Click"));
    setAllChecked(guard, false);
}

void Form2::closeEvent(QCloseEvent* event)
{
    // Closing this window ends the program at once, whatever is running.
    event->accept();
    if (m_services.endProgram)
        m_services.endProgram();
}
