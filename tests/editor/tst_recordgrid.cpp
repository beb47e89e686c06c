#include <QTest>

class TestRecordGrid : public QObject {
    Q_OBJECT
};

QTEST_MAIN(TestRecordGrid)
#include "tst_recordgrid.moc"
