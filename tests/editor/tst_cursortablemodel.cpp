#include <QTest>

class TestCursorTableModel : public QObject {
    Q_OBJECT
};

QTEST_GUILESS_MAIN(TestCursorTableModel)
#include "tst_cursortablemodel.moc"
