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

inline QStringList listNames(const TMainForm& form) {
    QStringList out;
    for (const tess::PaperEntry& e : form.navigator().PaperListModel->entries())
        out << e.name;
    return out;
}

inline QList<int> listIds(const TMainForm& form) {
    QList<int> out;
    for (const tess::PaperEntry& e : form.navigator().PaperListModel->entries())
        out << e.papId;
    return out;
}

inline int selectedRow(const TMainForm& form) {
    const QModelIndexList rows = form.navigator().ListView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

inline QStringList categories(const TMainForm& form) {
    QStringList out;
    for (int i = 0; i < form.navigator().CBPaperClass->count(); ++i)
        out << form.navigator().CBPaperClass->itemText(i);
    return out;
}

// Picks a category the way the user does: by the keyboard on the closed drop-down.
inline void pickCategory(TMainForm& form, const QString& text) {
    typing::pickByKeys(form.navigator().CBPaperClass, text);
}

// Clicks an entry of the paper list.
inline void clickRow(TMainForm& form, int row) {
    const QRect rect = form.navigator().ListView->visualRect(form.navigator().PaperListModel->index(row));
    QTest::mouseClick(form.navigator().ListView->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}
