// The message handler in-process: line format, level letters, categories, what is filtered, and
// that standard error and the log file receive the same bytes.
#include "logger/logger.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace quorvelin;

namespace {

// Captures what the process writes to file descriptor 2.
class StderrCapture {
public:
    explicit StderrCapture(const QString &path)
        : path_(path) {
        saved_ = dup(2);
        const int fd =
            open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() {
        dup2(saved_, 2);
        close(saved_);
    }
    QString path() const { return path_; }

private:
    QString path_;
    int saved_ = -1;
};

QByteArray readFrom(const QString &path, qint64 offset) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    file.seek(offset);
    return file.readAll();
}

using Emit = void (*)();

} // namespace

Q_DECLARE_METATYPE(Emit)

class LoggerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
        QCoreApplication::setApplicationName(QStringLiteral("Quorvelin"));
        logPath = dir.path() + QStringLiteral("/Brenlow/Quorvelin/logs/app-") +
                  QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                  QStringLiteral(".log");
        capture.reset(new StderrCapture(dir.path() + QStringLiteral("/stderr.txt")));
        initLogger();
    }

    void cleanupTestCase() { capture.reset(); }

    void firstLineNamesTheFile() {
        const QByteArray logged = readFrom(logPath, 0);
        QVERIFY2(logged.endsWith("I [quorvelin.core] Logger initialized →  \"" +
                                 QFile::encodeName(logPath) + "\"\n"),
                 logged.constData());
        QCOMPARE(readFrom(capture->path(), 0), logged);
    }

    void lines_data() {
        QTest::addColumn<Emit>("logIt");
        QTest::addColumn<QByteArray>("expected"); // after the "[HH:mm:ss.zzz] " prefix
        QTest::newRow("info in core") << Emit([] { qCInfo(asCore).noquote() << "hello"; })
                                      << QByteArray("I [quorvelin.core] hello\n");
        QTest::newRow("warning without category")
            << Emit([] { qWarning("careful"); }) << QByteArray("W [default] careful\n");
        QTest::newRow("critical in service")
            << Emit([] { qCCritical(asService).noquote() << "bad"; })
            << QByteArray("C [quorvelin.service] bad\n");
        QTest::newRow("warning in ui")
            << Emit([] { qCWarning(asUi).noquote() << "u"; }) << QByteArray("W [quorvelin.ui] u\n");
        QTest::newRow("placeholder kept") << Emit([] { qCInfo(asCore).noquote() << "%1 and %2"; })
                                          << QByteArray("I [quorvelin.core] %1 and %2\n");
        QTest::newRow("line break kept") << Emit([] { qCInfo(asCore).noquote() << "one\ntwo"; })
                                         << QByteArray("I [quorvelin.core] one\ntwo\n");
        QTest::newRow("UTF-8 text")
            << Emit([] { qCInfo(asCore).noquote() << QStringLiteral("路径 · ✓"); })
            << QByteArray("I [quorvelin.core] 路径 · ✓\n");
        QTest::newRow("info in config") << Emit([] { qCInfo(asConfig).noquote() << "c"; })
                                        << QByteArray("I [quorvelin.config] c\n");
        QTest::newRow("info in capture") << Emit([] { qCInfo(asCapture).noquote() << "c"; })
                                         << QByteArray("I [quorvelin.capture] c\n");
        QTest::newRow("debug filtered in every category") << Emit([] {
            qCDebug(asCore) << "x";
            qCDebug(asConfig) << "x";
            qCDebug(asService) << "x";
            qCDebug(asCapture) << "x";
            qCDebug(asUi) << "x";
        }) << QByteArray();
    }

    void lines() {
        QFETCH(Emit, logIt);
        QFETCH(QByteArray, expected);
        const qint64 fileBefore = QFileInfo(logPath).size();
        const qint64 errBefore = QFileInfo(capture->path()).size();
        logIt();
        const QByteArray inFile = readFrom(logPath, fileBefore);
        QCOMPARE(readFrom(capture->path(), errBefore), inFile);
        if (expected.isEmpty()) {
            QCOMPARE(inFile, QByteArray());
            return;
        }
        static const QRegularExpression prefix(QStringLiteral(R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] )"));
        QVERIFY2(prefix.match(QString::fromUtf8(inFile)).hasMatch(), inFile.constData());
        QCOMPARE(inFile.mid(15), expected);
    }

private:
    QTemporaryDir dir;
    QString logPath;
    std::unique_ptr<StderrCapture> capture;
};

QTEST_GUILESS_MAIN(LoggerTest)
#include "tst_logger.moc"
