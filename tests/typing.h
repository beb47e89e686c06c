#pragma once

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

// Typing and picking as the user does, for the tests of every window.
namespace typing {

// Replaces a line edit's text: letters and digits as key presses, Chinese as
// text committed by the input method.
inline void replaceText(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 128;
    if (ascii) {
        QTest::keyClicks(edit, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(edit, &commit);
}

// Picks an item of a drop-down by the keyboard, arriving from its neighbour,
// so that the drop-down reports a choice of the user's.
inline void pickByKeys(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text, Qt::MatchExactly);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setFocus();
    if (index == 0) {
        combo->setCurrentIndex(1);
        QTest::keyClick(combo, Qt::Key_Up);
    } else {
        combo->setCurrentIndex(index - 1);
        QTest::keyClick(combo, Qt::Key_Down);
    }
    QCOMPARE(combo->currentIndex(), index);
}

} // namespace typing
