#include <QTest>

class TestGrids : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TestGrids)
#include "tst_grids.moc"
