// The message handler in this process: line format, level letters and category names as the
// day's log file receives them. That standard error gets the same lines, the scenarios show.
#include "logger/logger.h"

#include <QDate>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvelin;
using Emit = void (*)();
Q_DECLARE_METATYPE(Emit)

class LoggerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.path()));
        QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
        QCoreApplication::setApplicationName(QStringLiteral("Quorvelin"));
        initLogger();
        log_.setFileName(dir_.path() + QStringLiteral("/Brenlow/Quorvelin/logs/app-") +
                         QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                         QStringLiteral(".log"));
        QVERIFY(log_.open(QIODevice::ReadOnly) && log_.readAll().contains("Logger initialized"));
    }

    void lines_data() {
        QTest::addColumn<Emit>("logIt");
        QTest::addColumn<QString>("expected"); // "[HH:mm:ss.zzz] " at line starts shown as "[T] "
        QTest::newRow("info in core, text as it is")
            << Emit([] { qCInfo(asCore).noquote() << QStringLiteral("路径 %1 · ✓\nnext"); })
            << QStringLiteral("[T] I [quorvelin.core] 路径 %1 · ✓\nnext\n");
        QTest::newRow("warning in config") << Emit([] { qCWarning(asConfig).noquote() << "w"; })
                                           << QStringLiteral("[T] W [quorvelin.config] w\n");
        QTest::newRow("critical in service") << Emit([] { qCCritical(asService).noquote() << "c"; })
                                             << QStringLiteral("[T] C [quorvelin.service] c\n");
        QTest::newRow("info in capture") << Emit([] { qCInfo(asCapture).noquote() << "i"; })
                                         << QStringLiteral("[T] I [quorvelin.capture] i\n");
        QTest::newRow("info in ui") << Emit([] { qCInfo(asUi).noquote() << "u"; })
                                    << QStringLiteral("[T] I [quorvelin.ui] u\n");
        QTest::newRow("debug without category")
            << Emit([] { qDebug("d"); }) << QStringLiteral("[T] D [default] d\n");
        QTest::newRow("debug filtered in every product category") << Emit([] {
            for (const auto category : {asCore, asConfig, asService, asCapture, asUi})
                qCDebug(category) << "x";
        }) << QString();
    }

    void lines() {
        QFETCH(Emit, logIt);
        QFETCH(QString, expected);
        logIt();
        static const QRegularExpression time(QStringLiteral(R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] )"),
                                             QRegularExpression::MultilineOption);
        QCOMPARE(QString::fromUtf8(log_.readAll()).replace(time, QStringLiteral("[T] ")), expected);
    }

private:
    QTemporaryDir dir_;
    QFile log_;
};

QTEST_GUILESS_MAIN(LoggerTest)
#include "tst_logger.moc"
