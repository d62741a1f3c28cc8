#include "mcpsetup/setup_internal.h"

#include <QTest>

using namespace quorvelin::mcpsetup;

namespace {

// "name|parts" for a plain table, "[[name|parts]]" for an array table, then the line count.
QStringList describe(const TomlDoc &doc) {
    QStringList sections;
    for (const TomlSection &section : doc.sections) {
        const QString path = section.path.join(QLatin1Char('|'));
        sections.append(
            (section.isArrayTable ? QStringLiteral("[[%1]]") : QStringLiteral("[%1]")).arg(path) +
            QStringLiteral(" x%1").arg(section.lines.size()));
    }
    return sections;
}

QString rejoined(const TomlDoc &doc) {
    QStringList lines = doc.preamble;
    for (const TomlSection &section : doc.sections)
        lines.append(section.lines);
    return lines.join(doc.eol);
}

} // namespace

class tst_Toml : public QObject {
    Q_OBJECT

private slots:
    void parseSplitsAtHeaders_data();
    void parseSplitsAtHeaders();
    void rejoiningGivesBackTheInput_data();
    void rejoiningGivesBackTheInput();
    void entrySectionTest_data();
    void entrySectionTest();
};

void tst_Toml::parseSplitsAtHeaders_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("eol");
    QTest::addColumn<QStringList>("preamble");
    QTest::addColumn<QStringList>("sections");

    QTest::newRow("empty text") << ""
                                << "\n"
                                << QStringList{""} << QStringList{};
    QTest::newRow("no header") << "a = 1\nb = 2"
                               << "\n"
                               << QStringList{"a = 1", "b = 2"} << QStringList{};
    QTest::newRow("preamble, one table, final empty line")
        << "a = 1\n[x]\nb = 2\n"
        << "\n"
        << QStringList{"a = 1"} << QStringList{"[x] x3"};
    QTest::newRow("one CR LF makes the file CR LF; lone LF stays inside a line")
        << "a\nb\r\n[x]\r\n"
        << "\r\n"
        << QStringList{"a\nb"} << QStringList{"[x] x2"};
    QTest::newRow("indented header") << "   [x]\nk = 1"
                                     << "\n"
                                     << QStringList{} << QStringList{"[x] x2"};
    QTest::newRow("commented header is not a header")
        << "# [mcp_servers.quorvelin]\nk = 1"
        << "\n"
        << QStringList{"# [mcp_servers.quorvelin]", "k = 1"} << QStringList{};
    QTest::newRow("spaces and a quoted part")
        << "[ mcp_servers . \"quorvelin-dev\" ]"
        << "\n"
        << QStringList{} << QStringList{"[mcp_servers|quorvelin-dev] x1"};
    QTest::newRow("single-quoted part keeps its dot")
        << "[mcp_servers.'a.b']"
        << "\n"
        << QStringList{} << QStringList{"[mcp_servers|a.b] x1"};
    QTest::newRow("array of tables") << "[[mcp_servers.x]]\n"
                                     << "\n"
                                     << QStringList{} << QStringList{"[[mcp_servers|x]] x2"};
    QTest::newRow("three parts") << "[mcp_servers.quorvelin.env]"
                                 << "\n"
                                 << QStringList{} << QStringList{"[mcp_servers|quorvelin|env] x1"};
    QTest::newRow("empty brackets give one empty part") << "[]"
                                                        << "\n"
                                                        << QStringList{} << QStringList{"[] x1"};
    QTest::newRow("no closing bracket gives no parts") << "[abc"
                                                       << "\n"
                                                       << QStringList{} << QStringList{"[] x1"};
    QTest::newRow("comment holding a bracket joins the last part")
        << "[a] # see [b]"
        << "\n"
        << QStringList{} << QStringList{"[a] # see [b] x1"};
    QTest::newRow("open quote runs to the end")
        << "[mcp_servers.\"a.b]"
        << "\n"
        << QStringList{} << QStringList{"[mcp_servers|a.b] x1"};
    QTest::newRow("array value line starting with a bracket counts as a header")
        << "[x]\nargs = [\n  [\"a\"],\n]\n"
        << "\n"
        << QStringList{} << QStringList{"[x] x2", "[a] x3"};
}

void tst_Toml::parseSplitsAtHeaders() {
    QFETCH(QString, text);
    QFETCH(QString, eol);
    QFETCH(QStringList, preamble);
    QFETCH(QStringList, sections);
    const TomlDoc doc = tomlParse(text);
    QCOMPARE(doc.eol, eol);
    QCOMPARE(doc.preamble, preamble);
    QCOMPARE(describe(doc), sections);
}

void tst_Toml::rejoiningGivesBackTheInput_data() {
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << "";
    QTest::newRow("only a line feed") << "\n";
    QTest::newRow("only CR LF") << "\r\n";
    QTest::newRow("no final terminator") << "[a]\nk = 1";
    QTest::newRow("mixed endings, CR LF wins") << "a\r\nb\nc\r\n[x]\nd\r";
    QTest::newRow("lone CR only") << "a\rb\r[x]\r";
    QTest::newRow("trailing blank lines, CR LF") << "[a]\r\nk = 1\r\n\r\n\r\n";
    QTest::newRow("byte order mark and tabs") << QString(QChar(0xFEFF)) + "\t[a]\t\n\tk\t=\t1\n";
    QTest::newRow("Chinese comments and keys") << "# 配置\n[mcp_servers.\"服务\"]\n名 = \"值\"\n";
    QTest::newRow("brackets everywhere") << "[\n]\n[[\n]]\n[[a]\n[a]]\n";
    QTest::newRow("multi-line string with a header inside")
        << "[a]\ns = \"\"\"\n[not.a.table]\n\"\"\"\n";
    QTest::newRow("blank-only lines") << "   \n\t\n[x]\n \n";
}

void tst_Toml::rejoiningGivesBackTheInput() {
    QFETCH(QString, text);
    QCOMPARE(rejoined(tomlParse(text)), text);
}

void tst_Toml::entrySectionTest_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<bool>("entry");

    QTest::newRow("own table") << "[mcp_servers.quorvelin]" << true;
    QTest::newRow("sub-table") << "[mcp_servers.quorvelin.env]" << true;
    QTest::newRow("quoted name") << "[mcp_servers.\"quorvelin\"]" << true;
    QTest::newRow("blanks around parts") << "[ mcp_servers . quorvelin ]" << true;
    QTest::newRow("array of tables") << "[[mcp_servers.quorvelin]]" << false;
    QTest::newRow("other world") << "[mcp_servers.quorvelin-dev]" << false;
    QTest::newRow("case differs") << "[MCP_servers.quorvelin]" << false;
    QTest::newRow("name case differs") << "[mcp_servers.Quorvelin]" << false;
    QTest::newRow("container only") << "[mcp_servers]" << false;
    QTest::newRow("comment with a bracket after the header")
        << "[mcp_servers.quorvelin] # [old]" << false;
    QTest::newRow("comment without a bracket") << "[mcp_servers.quorvelin] # old" << true;
}

void tst_Toml::entrySectionTest() {
    QFETCH(QString, header);
    QFETCH(bool, entry);
    const TomlDoc doc = tomlParse(header + QStringLiteral("\ncommand = \"x\"\n"));
    QCOMPARE(doc.sections.size(), 1);
    QCOMPARE(isEntrySection(doc.sections.constFirst(), QStringLiteral("quorvelin")), entry);
}

QTEST_GUILESS_MAIN(tst_Toml)
#include "tst_toml.moc"
