// The setup command speaks the locale's language: English for any English locale, from the
// translation compiled into it (a copy alone, beside no sidecar, still has it), and the texts as
// written for a Chinese and for the C locale, byte for byte. One message of each kind: a usage
// error, a discovery label, an install failure with its placeholder, a failed self-test.
#include "support/processenv.h"

#include <QtTest>

using namespace quorvelin::testsupport;

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void speaks_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("printed");
        const QString english = QStringLiteral(
            "quorvelin-mcp-setup: Unknown command: frobnicate\n"
            "Run quorvelin-mcp-setup --help for usage.\n"
            "Local production environment (global)\n    ~/.claude.json\n    Not connected\n"
            "Could not connect Cline: MCP sidecar not found: @BIN@/quorvelin-mcp\n"
            "(It should be in the same directory as the Quorvelin app.)");
        const QString chinese = QStringLiteral(
            "quorvelin-mcp-setup: 未知命令：frobnicate\n用 quorvelin-mcp-setup --help 查看用法。\n"
            "本地生产环境（全局）\n    ~/.claude.json\n    未接入\n"
            "接入 Cline 失败：未找到 MCP sidecar:@BIN@/quorvelin-mcp\n"
            "（它应与 quor-velin 主程序在同一目录）");
        QTest::newRow("American English") << "LANG=en_US.UTF-8"
                                          << "" << english;
        QTest::newRow("British English") << "LC_MESSAGES=en_GB.UTF-8"
                                         << "" << english;
        QTest::newRow("the C locale") << "LC_ALL=C.UTF-8"
                                      << "" << chinese;
        QTest::newRow("Chinese") << "LANG=zh_CN.UTF-8"
                                 << "" << chinese;
        QTest::newRow("a failed self-test in English")
            << "LANG=en_US.UTF-8"
            << "probe"
            << "Self-test failed: Cannot start the MCP sidecar process (quorvelin-mcp): ";
    }

    void speaks() {
        QFETCH(QString, locale);
        QFETCH(QString, args);
        QFETCH(QString, printed);
        IsolatedEnv env;
        env.unset(QStringLiteral("LC_ALL"));
        env.set(locale.section('=', 0, 0), locale.section('=', 1));
        QTemporaryDir dir;
        const QString command =
            copyExecutable(binDir() + QStringLiteral("/quorvelin-mcp-setup"), dir.path());
        const QStringList invocations =
            args.isEmpty() ? QStringList{"frobnicate", "claude-targets", "install cline"}
                           : QStringList{args};
        QString output;
        for (const QString &invocation : invocations) {
            const ProcessRun run =
                runProcess(command, invocation.split(' '), env.environment(), {});
            output += QString::fromUtf8(run.err + run.out);
        }
        const QString expected = QString(printed).replace(QStringLiteral("@BIN@"), dir.path());
        QVERIFY2(output.startsWith(expected), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
