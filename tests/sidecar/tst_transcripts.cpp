// Replays the conversations in TRANSCRIPT_DIR/*.txt through the sidecar's line handler and
// compares every answer byte for byte. In a transcript, "> " starts a client line and "< " an
// expected answer line; "! env NAME=VALUE" sets a variable for the rest of the file; anything else
// is prose. Set QUORVELIN_REGENERATE_TRANSCRIPTS=1 to rewrite the expected lines after a
// deliberate change (then review the diff).
#include "sidecar/sidecar.h"
#include "support/processenv.h"
#include "support/scopedenv.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using namespace quorvelin::testsupport;

namespace {

QList<QByteArray> answersTo(const QByteArray &request) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    quorvelin::sidecar::handleLine(request, out);
    return splitLines(out.data());
}

} // namespace

class TranscriptTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        qunsetenv("QUORVELIN_DEV");
        QCoreApplication::setOrganizationName(QStringLiteral("Brenlow"));
        QCoreApplication::setApplicationName(QStringLiteral("Quorvelin"));
    }

    void replay_data() {
        QTest::addColumn<QString>("path");
        const QDir dir(QStringLiteral(TRANSCRIPT_DIR));
        const QStringList files = dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << dir.filePath(file);
    }

    void replay() {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        QList<QByteArray> lines = file.readAll().split('\n');
        file.close();
        lines.append(QByteArray()); // closes the last exchange
        const bool regenerate = qEnvironmentVariableIntValue("QUORVELIN_REGENERATE_TRANSCRIPTS");
        std::vector<std::unique_ptr<ScopedEnv>> env;
        QList<QByteArray> rewritten, expected;
        QByteArray request;
        bool open = false;
        int exchanges = 0;
        for (const QByteArray &line : std::as_const(lines)) {
            if (line.startsWith("< ")) {
                expected.append(line.mid(2));
                continue;
            }
            if (open) {
                const QList<QByteArray> actual = answersTo(request);
                for (const QByteArray &answer : actual)
                    rewritten.append("< " + answer);
                QVERIFY2(regenerate || actual == expected,
                         "\n> " + request + "\nexpected:\n< " + expected.join("\n< ") +
                             "\nactual:\n< " + actual.join("\n< "));
                expected.clear();
            }
            QVERIFY2(expected.isEmpty(), "answer lines without a request: " + expected.join('|'));
            rewritten.append(line);
            open = line.startsWith("> ");
            if (open) {
                request = line.mid(2);
                ++exchanges;
            } else if (line.startsWith("! env ")) {
                const QList<QByteArray> assignment = line.mid(6).split('=');
                env.push_back(std::make_unique<ScopedEnv>(assignment.at(0).constData(),
                                                          assignment.mid(1).join('=')));
            }
        }
        QVERIFY(exchanges > 0);
        if (regenerate) {
            rewritten.removeLast();
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(rewritten.join('\n'));
            QSKIP("expected lines regenerated");
        }
    }

private:
    QTemporaryDir home;
};

QTEST_GUILESS_MAIN(TranscriptTest)
#include "tst_transcripts.moc"
