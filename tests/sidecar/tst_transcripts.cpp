// Replays the conversations in transcripts/*.txt through the sidecar's line handler and compares
// every answer byte for byte. In a transcript, "> " starts a client line and "< " an expected
// answer line; anything else is prose. Set QUORVELIN_REGENERATE_TRANSCRIPTS=1 to rewrite the
// expected lines after a deliberate change (then review the diff).
#include "sidecar/sidecar.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using quorvelin::sidecar::handleLine;

namespace {

struct Exchange {
    QByteArray request;
    QList<QByteArray> expected;
};

struct Transcript {
    QList<QByteArray> prose; // kept for regeneration, in order, with a marker per exchange
    QList<Exchange> exchanges;
};

Transcript parse(const QByteArray &text) {
    Transcript transcript;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("> ")) {
            transcript.exchanges.append({line.mid(2), {}});
            transcript.prose.append(QByteArray());
        } else if (line.startsWith("< ") && !transcript.exchanges.isEmpty()) {
            transcript.exchanges.last().expected.append(line.mid(2));
        } else if (!line.startsWith("< ")) {
            transcript.prose.append(line);
        }
    }
    return transcript;
}

QList<QByteArray> answersTo(const QByteArray &request) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    handleLine(request, out);
    QList<QByteArray> lines = out.data().split('\n');
    // Every answer ends in exactly one "\n": the split leaves one empty tail.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray regenerate(const Transcript &transcript) {
    QByteArray text;
    int exchange = 0;
    for (const QByteArray &line : transcript.prose) {
        if (!line.isNull()) {
            text += line + '\n';
            continue;
        }
        const QByteArray request = transcript.exchanges.at(exchange++).request;
        text += "> " + request + '\n';
        for (const QByteArray &answer : answersTo(request))
            text += "< " + answer + '\n';
    }
    text.chop(1);
    return text;
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
        const QByteArray text = file.readAll();
        file.close();
        const Transcript transcript = parse(text);
        QVERIFY(!transcript.exchanges.isEmpty());

        if (qEnvironmentVariableIntValue("QUORVELIN_REGENERATE_TRANSCRIPTS")) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(regenerate(transcript));
            QSKIP("expected lines regenerated");
        }
        for (const Exchange &exchange : transcript.exchanges) {
            const QList<QByteArray> actual = answersTo(exchange.request);
            if (actual != exchange.expected) {
                const QByteArray report = "\n> " + exchange.request + "\nexpected:\n< " +
                                          exchange.expected.join("\n< ") + "\nactual:\n< " +
                                          actual.join("\n< ");
                QFAIL(report.constData());
            }
        }
    }

private:
    QTemporaryDir home;
};

QTEST_GUILESS_MAIN(TranscriptTest)
#include "tst_transcripts.moc"
