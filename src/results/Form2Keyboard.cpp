// The second window without a mouse: names for screen readers, the Tab order
// of the layout, Return on the focused button and the shortcuts. Each
// shortcut calls the slot its button calls; none adds a control.

#include "results/Form2.h"

#include "app/KeyboardAccess.h"
#include "results/ResultListView.h"

#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

void Form2::setKeyboardAccess()
{
    // Every control is announced by its caption; each picker by the caption
    // of its option, the second "Between:" picker by the "and" before it.
    for (QPushButton* button : m_buttons)
        button->setAccessibleName(button->text());
    for (QRadioButton* option : m_options)
        option->setAccessibleName(option->text());
    m_frame->setAccessibleName(m_frame->title());
    m_label->setAccessibleName(m_label->text());
    for (int i = 0; i < 4; ++i)
        m_pickers[size_t(i)]->setAccessibleName(m_options[size_t(i)]->text());
    m_pickers[4]->setAccessibleName(m_label->text());
    // The list is named by its header, which each scan sets.
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, [this] {
        const QString header = m_model->headerData(ResultTableModel::PathColumn, Qt::Horizontal).toString();
        if (!header.isEmpty())
            m_list->setAccessibleName(header);
    });

    // Tab follows the layout: top to bottom, and left to right within a row.
    const QList<QWidget*> order{m_buttons[1], m_options[0], m_pickers[0], m_options[1], m_pickers[1],
                                m_options[2], m_pickers[2], m_options[3], m_pickers[3], m_pickers[4],
                                m_buttons[0], m_list,       m_buttons[3], m_buttons[4], m_buttons[6],
                                m_buttons[5], m_buttons[2]};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    for (QPushButton* button : m_buttons)
        pressOnReturn(button);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_A), this, &Form2::PushButton4_Click);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), this, &Form2::PushButton5_Click);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), this, &Form2::PushButton7_Click);
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_S), this, &Form2::PushButton6_Click);
    addShortcut(this, QKeySequence(Qt::Key_F5), this, &Form2::PushButton1_Click);
    addShortcut(this, QKeySequence(Qt::Key_Delete), this, &Form2::PushButton3_Click);
    addShortcut(this, QKeySequence(Qt::ALT | Qt::Key_Left), this, &Form2::PushButton2_Click);
}
