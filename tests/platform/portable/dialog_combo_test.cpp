// The combo box's notification rules, as the dialog procedure hears them, on
// Qt's offscreen platform. The focus codes are left out: the end-to-end runs
// guard them with a real window manager.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <cstdlib>
#include <vector>

#include "dialog/controller.h"
#include "dialog_host_parts.h"
#include "dialog_host_portable.h"
#include "res/resource.h"

namespace {

using qt_host::HostCombo;

int32_t listened = 0;          // the combo box whose notifications count
std::vector<uint32_t> heard;  // its notification codes, in order

intptr_t recorder(HostWindow, uint32_t message, uintptr_t wparam, intptr_t) {
    const auto code = static_cast<uint32_t>(wparam >> 16);
    if (message == WM_COMMAND && static_cast<int32_t>(wparam & 0xFFFF) == listened && code != CBN_SETFOCUS &&
        code != CBN_KILLFOCUS)
        heard.push_back(code);
    return 0;
}

void settle() { QCoreApplication::processEvents(); }

void key(QWidget* to, int k, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text), release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(to, &press);
    QApplication::sendEvent(to, &release);
}

void open(QComboBox* combo) { combo->showPopup(); }  // as Qt opens it, through the base class

// Opens the list and picks the entry `down` rows below the current one with Enter.
void pick(HostCombo* combo, int down) {
    open(combo);
    for (int i = 0; i < down; ++i) key(combo->view(), Qt::Key_Down);
    key(combo->view(), Qt::Key_Return);
}

TEST(HostCombo, NotifiesAsAWindowsComboBox) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "portable_tests", *argv[] = {name, nullptr};
    const QApplication app(argc, argv);  // gone before the process's own statics are
    qt_dialog_procedure = recorder;
    {
        // Before the window is active (Wayland activates a round trip after the keyboard
        // arrives), a key goes to the focus widget: a first Tab once only reached the list.
        qt_host::HostDialog dialog;
        dialog.initialise();
        EXPECT_EQ(dialog.focusWidget(), dialog.control(IDC_ADAPTER)) << "the focus once initialised";
    }
    const struct {
        const char* rule;
        int32_t id, selected;
        void (*act)(HostCombo*);
        std::vector<uint32_t> expected;
    } rows[] = {
        {"a pick from the open list: the selection changes before the list closes", IDC_REFRESH, 0,
         [](HostCombo* c) { pick(c, 1); }, {CBN_DROPDOWN, CBN_SELCHANGE, CBN_CLOSEUP}},
        {"re-opened before the closing was reported: the closing comes first", IDC_REFRESH, 0,
         [](HostCombo* c) {
             pick(c, 1);
             open(c);
             settle();
             c->hidePopup();
         },
         {CBN_DROPDOWN, CBN_SELCHANGE, CBN_CLOSEUP, CBN_DROPDOWN, CBN_CLOSEUP}},
        {"Enter in the editable field selects nothing, not even the entry typed", IDC_SPEAKERS, -1,
         [](HostCombo* c) {
             key(c->lineEdit(), Qt::Key_B, QStringLiteral("b"));
             key(c->lineEdit(), Qt::Key_Return);
         },
         {CBN_EDITCHANGE}},
        {"the entry already selected chosen again: no selection change", IDC_REFRESH, 1,
         [](HostCombo* c) { pick(c, 0); }, {CBN_DROPDOWN, CBN_CLOSEUP}},
        {"arrow keys on the closed list: a change each time the selection moves", IDC_REFRESH, 0,
         [](HostCombo* c) {
             for (const int k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}) key(c, k);
         },
         {CBN_SELCHANGE, CBN_SELCHANGE}},
    };
    for (const auto& row : rows) {
        qt_host::HostDialog dialog;
        auto* combo = dynamic_cast<HostCombo*>(dialog.control(row.id));
        ASSERT_NE(combo, nullptr) << row.rule;
        for (const char* text : {"a", "b", "c"}) combo->insert_at(combo->count(), QString::fromLatin1(text));
        combo->select(row.selected);
        dialog.initialise();
        dialog.show();
        combo->setFocus();
        settle();
        listened = row.id;
        heard.clear();
        row.act(combo);
        settle();
        EXPECT_EQ(heard, row.expected) << row.rule;
    }
    qt_dialog_procedure = setup_dialog_proc;
}

}  // namespace
