#pragma once

#include "app/appfixture.h"
#include "bankhelpers.h"
#include "editor/paperlistmodel.h"
#include "store/query.h"
#include "typing.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QListView>
#include <QPlainTextEdit>
#include <QVariant>

// A program folder with a fresh bank, and a main window signed in on it.
struct EditorBank : AppFolder {
    // Set-up only: the program itself adds records through its cursors.
    void paper(int id, const QString& name, const QVariant& category = QVariant(), int score = 100,
               const QString& output = QStringLiteral("/tmp/p.html")) const {
        const QString ctg =
            category.isNull() ? QStringLiteral("null") : banktest::quoted(category.toString());
        sql(QStringLiteral("insert into paper (PapID, PapNam, PapScr, PapSav, PapCtg) values "
                           "(%1, %2, %3, %4, %5)")
                .arg(id)
                .arg(banktest::quoted(name))
                .arg(score)
                .arg(banktest::quoted(output), ctg));
    }
    void question(int id, int papId, int number) const {
        sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp) values "
                           "(%1, %2, %3, '判断题')")
                .arg(id)
                .arg(papId)
                .arg(number));
    }
    void choice(int id, int qstId, int number) const {
        sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx) values (%1, %2, %3)")
                .arg(id)
                .arg(qstId)
                .arg(number));
    }
    // The first column of the first row of a statement.
    QVariant scalar(const QString& statement) const {
        banktest::BankConnection conn(tess::ProgramFiles::PaperBankPath());
        return banktest::scalar(conn, statement);
    }
    int count(const QString& tableAndWhere) const {
        banktest::BankConnection conn(tess::ProgramFiles::PaperBankPath());
        return banktest::count(conn, tableAndWhere);
    }
    // Values of one column in identifier order, as texts.
    QStringList column(const QString& table, const QString& name, const QString& id) const {
        banktest::BankConnection conn(tess::ProgramFiles::PaperBankPath());
        tess::Query q(conn);
        q.setSql(QStringLiteral("select %1 as v from %2 order by %3").arg(name, table, id));
        q.open();
        QStringList out;
        for (q.first(); !q.eof(); q.next())
            out << q.asString(QStringLiteral("v"));
        return out;
    }
};

inline void openBank(TMainForm& form) {
    form.SetSignedInAccount(QStringLiteral("Admin"));
    form.OpenPaperBank();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY2(messageArea(form)->toPlainText().isEmpty(),
             qPrintable(messageArea(form)->toPlainText()));
}

// The navigator's list, selection and categories, in the main window or in
// a window of its own: anything whose navigator() gives the navigator.
template <typename Window> QStringList listNames(const Window& window) {
    QStringList out;
    for (const tess::PaperEntry& e : window.navigator().PaperListModel->entries())
        out << e.name;
    return out;
}

template <typename Window> QList<int> listIds(const Window& window) {
    QList<int> out;
    for (const tess::PaperEntry& e : window.navigator().PaperListModel->entries())
        out << e.papId;
    return out;
}

template <typename Window> int selectedRow(const Window& window) {
    const QModelIndexList rows = window.navigator().ListView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

template <typename Window> QStringList categories(const Window& window) {
    QStringList out;
    for (int i = 0; i < window.navigator().CBPaperClass->count(); ++i)
        out << window.navigator().CBPaperClass->itemText(i);
    return out;
}

// Picks a category the way the user does: by the keyboard on the closed drop-down.
template <typename Window> void pickCategory(Window& window, const QString& text) {
    typing::pickByKeys(window.navigator().CBPaperClass, text);
}

// Clicks an entry of the paper list.
template <typename Window> void clickRow(Window& window, int row) {
    const tess::PaperNavigator& navigator = window.navigator();
    const QRect rect = navigator.ListView->visualRect(navigator.PaperListModel->index(row));
    QTest::mouseClick(navigator.ListView->viewport(), Qt::LeftButton, Qt::NoModifier,
                      rect.center());
}
