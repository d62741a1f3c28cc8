<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>QObject</name>
    <message>
        <source>另一个程序已在 %1 上提供 GUI 桥接</source>
        <translation>Another program is already serving the GUI bridge on %1</translation>
    </message>
    <message>
        <source>Quorvelin 主程序尚未提供任何工具</source>
        <translation>The Quorvelin app does not provide any tools yet</translation>
    </message>
    <message>
        <source>无法写入工具目录 %1：%2</source>
        <translation>Cannot write the tool catalogue %1: %2</translation>
    </message>
    <message>
        <source>Claude Code</source>
        <translation>Claude Code</translation>
    </message>
    <message>
        <source>Claude Desktop</source>
        <translation>Claude Desktop</translation>
    </message>
    <message>
        <source>Codex</source>
        <translation>Codex</translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>Cline</source>
        <translation>Cline</translation>
    </message>
    <message>
        <source>Zed Editor</source>
        <translation>Zed Editor</translation>
    </message>
    <message>
        <source>OpenCode</source>
        <translation>OpenCode</translation>
    </message>
    <message>
        <source>开发环境（默认）</source>
        <translation>Development environment (default)</translation>
    </message>
    <message>
        <source>开发实例 %1</source>
        <translation>Development instance %1</translation>
    </message>
    <message>
        <source>本地生产环境（全局）</source>
        <translation>Local production environment (global)</translation>
    </message>
    <message>
        <source>实例 %1</source>
        <translation>Instance %1</translation>
    </message>
    <message>
        <source>第 %1 行用内联表写成了 mcp_servers.%2；接入与移除只改写 [mcp_servers.%2] 表，不会动它</source>
        <translation>Line %1 defines mcp_servers.%2 as an inline table; connecting and removing only rewrite a [mcp_servers.%2] table, so they leave it untouched</translation>
    </message>
    <message>
        <source>第 %1 行用点号键写成了 mcp_servers.%2；接入与移除只改写 [mcp_servers.%2] 表，不会动它</source>
        <translation>Line %1 defines mcp_servers.%2 with dotted keys; connecting and removing only rewrite a [mcp_servers.%2] table, so they leave it untouched</translation>
    </message>
    <message>
        <source>把它改写成 [mcp_servers.%1] 表。</source>
        <translation>Rewrite it as a [mcp_servers.%1] table.</translation>
    </message>
    <message>
        <source>第 %1 行的 [mcp_servers.%2] 在 TOML 里并不是一个表（例如在多行字符串中），接入与移除却会改动那几行</source>
        <translation>The [mcp_servers.%2] on line %1 is not a table in TOML (it may be inside a multi-line string, for example), yet connecting and removing would change those lines</translation>
    </message>
    <message>
        <source>手工编辑这个文件。</source>
        <translation>Edit this file by hand.</translation>
    </message>
    <message>
        <source>%1 中没有 %2 条目：未接入</source>
        <translation>%1 has no %2 entry: not connected</translation>
    </message>
    <message>
        <source>接入这个客户端。</source>
        <translation>Connect this client.</translation>
    </message>
    <message>
        <source>重新接入这个客户端，让条目启动 %1。</source>
        <translation>Connect this client again so that the entry starts %1.</translation>
    </message>
    <message>
        <source>条目 %1 没有可用的命令</source>
        <translation>Entry %1 has no usable command</translation>
    </message>
    <message>
        <source>条目 %1 启动的是另一个程序：%2</source>
        <translation>Entry %1 starts a different program: %2</translation>
    </message>
    <message>
        <source>条目 %1 要启动的程序不存在：%2</source>
        <translation>Entry %1 starts a program that does not exist: %2</translation>
    </message>
    <message>
        <source>条目 %1 启动本机的 MCP sidecar</source>
        <translation>Entry %1 starts the local MCP sidecar</translation>
    </message>
    <message>
        <source>这些项目里另有同名条目 %1，在那里它优先生效：%2</source>
        <translation>These projects have their own entry named %1, which takes precedence there: %2</translation>
    </message>
    <message>
        <source>在 %1 里这些项目的 mcpServers 中删去 %2。</source>
        <translation>Delete %2 from the mcpServers of these projects in %1.</translation>
    </message>
    <message>
        <source>%1 也定义了 %2，指向 %3</source>
        <translation>%1 also defines %2, pointing to %3</translation>
    </message>
    <message>
        <source>删去其中一处，只留一个配置文件。</source>
        <translation>Delete one of the two so that only one configuration file remains.</translation>
    </message>
    <message>
        <source>%1 与 %2 并存，OpenCode 两个都会读取</source>
        <translation>%1 exists alongside %2, and OpenCode reads both</translation>
    </message>
    <message>
        <source>把两者合并成一个文件。</source>
        <translation>Merge the two into one file.</translation>
    </message>
    <message>
        <source>Cline 命令行客户端读取的是 %1，其中没有 %2</source>
        <translation>The Cline command-line client reads %1, which has no %2</translation>
    </message>
    <message>
        <source>若使用 Cline 命令行客户端，也把这个文件接入。</source>
        <translation>If you use the Cline command-line client, connect this file too.</translation>
    </message>
    <message>
        <source>Cline 命令行客户端的 %1 中，%2 启动的是另一个程序：%3</source>
        <translation>In the Cline command-line client&apos;s %1, %2 starts a different program: %3</translation>
    </message>
    <message>
        <source>重新接入这个文件，让条目启动 %1。</source>
        <translation>Connect this file again so that the entry starts %1.</translation>
    </message>
    <message>
        <source>Cline 命令行客户端的 %1 也已接入</source>
        <translation>The Cline command-line client&apos;s %1 is connected too</translation>
    </message>
    <message>
        <source>没有配置文件 %1</source>
        <translation>Configuration file %1 does not exist</translation>
    </message>
    <message>
        <source>接入这个客户端时会创建它。</source>
        <translation>Connecting this client creates it.</translation>
    </message>
    <message>
        <source>无法读取配置文件 %1</source>
        <translation>Cannot read configuration file %1</translation>
    </message>
    <message>
        <source>检查这个文件的权限。</source>
        <translation>Check the file&apos;s permissions.</translation>
    </message>
    <message>
        <source>%1 含注释或尾随逗号，而 %2 按严格的 JSON 读取它</source>
        <translation>%1 contains comments or trailing commas, but %2 reads it as strict JSON</translation>
    </message>
    <message>
        <source>删去注释与尾随逗号。</source>
        <translation>Delete the comments and trailing commas.</translation>
    </message>
    <message>
        <source>%1 无法被 %2 加载（第 %3 行：%4）</source>
        <translation>%2 cannot load %1 (line %3: %4)</translation>
    </message>
    <message>
        <source>修正这一处；在此之前 %1 不会启动其中的任何 MCP 服务器。</source>
        <translation>Fix this; until then, %1 starts none of the MCP servers in it.</translation>
    </message>
    <message>
        <source>配置文件可以加载：%1</source>
        <translation>Configuration file can be loaded: %1</translation>
    </message>
    <message>
        <source>重新安装 Quorvelin：sidecar 应与主程序在同一目录。</source>
        <translation>Reinstall Quorvelin: the sidecar belongs in the same directory as the Quorvelin app.</translation>
    </message>
    <message>
        <source>未找到 MCP sidecar：%1</source>
        <translation>MCP sidecar not found: %1</translation>
    </message>
    <message>
        <source>%1 是一个目录，不是 MCP sidecar 程序</source>
        <translation>%1 is a directory, not the MCP sidecar program</translation>
    </message>
    <message>
        <source>删去或改名这个目录，再重新安装 Quorvelin。</source>
        <translation>Delete or rename this directory, then reinstall Quorvelin.</translation>
    </message>
    <message>
        <source>MCP sidecar 没有执行权限：%1</source>
        <translation>MCP sidecar is not executable: %1</translation>
    </message>
    <message>
        <source>恢复它的执行权限，或重新安装 Quorvelin。</source>
        <translation>Make it executable again, or reinstall Quorvelin.</translation>
    </message>
    <message>
        <source>MCP sidecar 旁边没有可用的 GUI 桥接模块 %1，每个工具调用都会得到 [need_gui]（%2）</source>
        <translation>No usable GUI bridge module %1 beside the MCP sidecar; every tool call will get [need_gui] (%2)</translation>
    </message>
    <message>
        <source>把 %1 放到 sidecar 所在的目录 %2（重新安装 Quorvelin 即可）。</source>
        <translation>Put %1 in the sidecar&apos;s directory %2 (reinstalling Quorvelin does this).</translation>
    </message>
    <message>
        <source>MCP sidecar 就绪：%1</source>
        <translation>MCP sidecar ready: %1</translation>
    </message>
    <message numerus="yes">
        <source>自检通过：%1（%2）· 协议 %3 · %n 个工具 · 用时 %4 ms</source>
        <translation>
            <numerusform>Self-test passed: %1 (%2) · protocol %3 · %n tool · %4 ms</numerusform>
            <numerusform>Self-test passed: %1 (%2) · protocol %3 · %n tools · %4 ms</numerusform>
        </translation>
    </message>
    <message>
        <source>自检失败：%1</source>
        <translation>Self-test failed: %1</translation>
    </message>
    <message>
        <source>sidecar 无法完成 MCP 握手；重新安装 Quorvelin。</source>
        <translation>The sidecar cannot complete the MCP handshake; reinstall Quorvelin.</translation>
    </message>
    <message>
        <source>Quorvelin 主程序正在应答（%1）</source>
        <translation>The Quorvelin app is responding (%1)</translation>
    </message>
    <message>
        <source>Quorvelin 主程序此刻没有应答（%1），工具调用会得到 [need_gui]</source>
        <translation>The Quorvelin app is not responding right now (%1); tool calls will get [need_gui]</translation>
    </message>
    <message>
        <source>打开 Quorvelin（它会常驻托盘）。</source>
        <translation>Open Quorvelin (it stays running in the tray).</translation>
    </message>
    <message>
        <source>启动一次 Quorvelin 主程序，它会写入工具目录。</source>
        <translation>Start the Quorvelin app once; it writes the tool catalogue.</translation>
    </message>
    <message>
        <source>还没有工具目录 %1，tools/list 会是空的</source>
        <translation>No tool catalogue at %1 yet; tools/list will be empty</translation>
    </message>
    <message>
        <source>工具目录 %1 里没有 tools 数组，tools/list 会是空的</source>
        <translation>Tool catalogue %1 has no tools array; tools/list will be empty</translation>
    </message>
    <message numerus="yes">
        <source>工具目录：%n 个工具</source>
        <translation>
            <numerusform>Tool catalogue: %n tool</numerusform>
            <numerusform>Tool catalogue: %n tools</numerusform>
        </translation>
    </message>
    <message>
        <source>JSON · mcpServers</source>
        <translation>JSON · mcpServers</translation>
    </message>
    <message>
        <source>JSON · context_servers</source>
        <translation>JSON · context_servers</translation>
    </message>
    <message>
        <source>JSON · mcp</source>
        <translation>JSON · mcp</translation>
    </message>
    <message>
        <source>TOML · [mcp_servers.*]</source>
        <translation>TOML · [mcp_servers.*]</translation>
    </message>
    <message>
        <source>未接入</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>已接入</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>条目不符：命令为空、指向别处或文件不存在</source>
        <translation>Entry mismatch: the command is empty, points elsewhere or names a missing file</translation>
    </message>
    <message>
        <source>无法读取：文件打不开或不是有效的 JSON</source>
        <translation>Unreadable: the file cannot be opened or is not valid JSON</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>问题</source>
        <translation>Problem</translation>
    </message>
    <message>
        <source>未找到 MCP sidecar:%1
（它应与 quor-velin 主程序在同一目录）。可能是安装包未携带或被杀软删除 —— 请重新安装 Quorvelin 后再接入。</source>
        <translation>MCP sidecar not found: %1
(It should be in the same directory as the Quorvelin app.) The installer may have left it out, or antivirus software may have deleted it. Reinstall Quorvelin, then connect again.</translation>
    </message>
    <message>
        <source>无法创建目录：%1</source>
        <translation>Cannot create directory: %1</translation>
    </message>
    <message>
        <source>备份失败：%1</source>
        <translation>Backup failed: %1</translation>
    </message>
    <message>
        <source>无法读取：%1</source>
        <translation>Cannot read: %1</translation>
    </message>
    <message>
        <source>原文件 JSON 解析失败，未改动</source>
        <translation>The file could not be parsed as JSON; left unchanged</translation>
    </message>
    <message>
        <source>未改动：%1 第 %2 行已用内联表定义了 mcp_servers.%3，再添加 [mcp_servers.%3] 表会让客户端无法加载该文件。请删去那一处定义，或把它改写成 [mcp_servers.%3] 表，然后再试。</source>
        <translation>Left unchanged: line %2 of %1 already defines mcp_servers.%3 as an inline table, and adding a [mcp_servers.%3] table would leave the client unable to load the file. Delete that definition or rewrite it as a [mcp_servers.%3] table, then try again.</translation>
    </message>
    <message>
        <source>未改动：%1 第 %2 行已用点号键定义了 mcp_servers.%3，再添加 [mcp_servers.%3] 表会让客户端无法加载该文件。请删去定义它的那些点号键，或把它们改写成 [mcp_servers.%3] 表，然后再试。</source>
        <translation>Left unchanged: line %2 of %1 already defines mcp_servers.%3 with dotted keys, and adding a [mcp_servers.%3] table would leave the client unable to load the file. Delete the dotted keys that define it or rewrite them as a [mcp_servers.%3] table, then try again.</translation>
    </message>
    <message>
        <source>未改动：改写后 %1 将无法被客户端加载（第 %2 行：%3）。</source>
        <translation>Left unchanged: after the change, the client could not load %1 (line %2: %3).</translation>
    </message>
    <message>
        <source>原文件 JSON 解析失败：%1（已备份到 %2，未修改原文件）</source>
        <translation>The file could not be parsed as JSON: %1 (backed up to %2; the file was not modified)</translation>
    </message>
    <message>
        <source>无法写入：%1</source>
        <translation>Cannot write: %1</translation>
    </message>
    <message>
        <source>值之后还有多余的内容</source>
        <translation>Unexpected content after the value</translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列：%3</source>
        <translation>Line %1, column %2: %3</translation>
    </message>
    <message>
        <source>注释没有结束</source>
        <translation>Unterminated comment</translation>
    </message>
    <message>
        <source>内容意外结束</source>
        <translation>Unexpected end of input</translation>
    </message>
    <message>
        <source>嵌套过深</source>
        <translation>Nesting too deep</translation>
    </message>
    <message>
        <source>意外的字符“%1”</source>
        <translation>Unexpected character &quot;%1&quot;</translation>
    </message>
    <message>
        <source>无效的数字</source>
        <translation>Invalid number</translation>
    </message>
    <message>
        <source>字符串不是有效的 UTF-8</source>
        <translation>String is not valid UTF-8</translation>
    </message>
    <message>
        <source>字符串中有控制字符</source>
        <translation>Control character in string</translation>
    </message>
    <message>
        <source>字符串没有结束</source>
        <translation>Unterminated string</translation>
    </message>
    <message>
        <source>无效的转义序列</source>
        <translation>Invalid escape sequence</translation>
    </message>
    <message>
        <source>缺少逗号</source>
        <translation>Missing comma</translation>
    </message>
    <message>
        <source>数组没有结束</source>
        <translation>Unterminated array</translation>
    </message>
    <message>
        <source>应为用双引号括起的键</source>
        <translation>Expected a key in double quotes</translation>
    </message>
    <message>
        <source>重复的键“%1”</source>
        <translation>Duplicate key &quot;%1&quot;</translation>
    </message>
    <message>
        <source>缺少冒号</source>
        <translation>Missing colon</translation>
    </message>
    <message>
        <source>对象没有结束</source>
        <translation>Unterminated object</translation>
    </message>
    <message>
        <source>顶层不是 JSON 对象</source>
        <translation>The top level is not a JSON object</translation>
    </message>
    <message>
        <source>保留注释的改写未能得到有效的条目</source>
        <translation>Rewriting with comments kept did not produce a valid entry</translation>
    </message>
    <message>
        <source>无法启动 MCP sidecar 子进程（quorvelin-mcp）：%1</source>
        <translation>Cannot start the MCP sidecar process (quorvelin-mcp): %1</translation>
    </message>
    <message>
        <source>MCP 子进程提前退出或响应异常 — 收到 initialize=%1 tools/list=%2</source>
        <translation>The MCP child process exited early or answered unexpectedly — received initialize=%1 tools/list=%2</translation>
    </message>
    <message>
        <source>MCP 握手超时（%1ms）— 收到 initialize=%2 tools/list=%3</source>
        <translation>MCP handshake timed out (%1 ms) — received initialize=%2 tools/list=%3</translation>
    </message>
    <message>
        <source>、</source>
        <comment>between the items of a list</comment>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>SetupCommand</name>
    <message>
        <source>用 %1 --help 查看用法。</source>
        <translation>Run %1 --help for usage.</translation>
    </message>
    <message>
        <source>（命令：%1）</source>
        <translation> (command: %1)</translation>
    </message>
    <message numerus="yes">
        <source>自检通过：%1（%2）· 协议 %3 · %n 个工具 · 用时 %4 ms</source>
        <translation>
            <numerusform>Self-test passed: %1 (%2) · protocol %3 · %n tool · %4 ms</numerusform>
            <numerusform>Self-test passed: %1 (%2) · protocol %3 · %n tools · %4 ms</numerusform>
        </translation>
    </message>
    <message>
        <source>自检失败：%1</source>
        <translation>Self-test failed: %1</translation>
    </message>
    <message>
        <source>未知客户端：%1（可用：%2）</source>
        <translation>Unknown client: %1 (available: %2)</translation>
    </message>
    <message>
        <source>已接入 %1：%2</source>
        <translation>Connected %1: %2</translation>
    </message>
    <message>
        <source>接入 %1 失败：%2</source>
        <translation>Could not connect %1: %2</translation>
    </message>
    <message>
        <source>已从 %1 移除：%2</source>
        <translation>Removed from %1: %2</translation>
    </message>
    <message>
        <source>%1 的配置中没有本构建的条目，未改动：%2</source>
        <translation>%1 has no entry for this build; left unchanged: %2</translation>
    </message>
    <message>
        <source>从 %1 移除失败：%2</source>
        <translation>Could not remove the entry from %1: %2</translation>
    </message>
    <message>
        <source>已替换原有条目</source>
        <translation>Replaced the existing entry</translation>
    </message>
    <message numerus="yes">
        <source>已清除 %n 个命令已不存在的旧条目</source>
        <translation>
            <numerusform>Removed %n stale entry whose command no longer exists</numerusform>
            <numerusform>Removed %n stale entries whose commands no longer exist</numerusform>
        </translation>
    </message>
    <message>
        <source>无需备份（新文件或空文件）</source>
        <translation>No backup needed (new or empty file)</translation>
    </message>
    <message>
        <source>备份：%1</source>
        <translation>Backup: %1</translation>
    </message>
    <message>
        <source>本机安装</source>
        <translation>Local installation</translation>
    </message>
    <message>
        <source>列出支持的客户端：配置格式、配置文件、接入状态与登记的命令</source>
        <translation>List the supported clients: format, configuration file, connection state and registered command</translation>
    </message>
    <message>
        <source>  --keep-comments 带注释或尾随逗号的 JSON 文件（如 Zed 的设置）也照常读取，报告真实状态
状态：已接入、未接入、条目不符、无法读取。</source>
        <translation>  --keep-comments Also read JSON files with comments or trailing commas (such as Zed&apos;s settings) and report their actual state
States: connected, not connected, entry mismatch, unreadable.</translation>
    </message>
    <message>
        <source>把本构建的 sidecar 接入客户端的配置文件（改写前先备份）</source>
        <translation>Connect this build&apos;s sidecar to a client via its configuration file (backed up first)</translation>
    </message>
    <message>
        <source>  CLIENT          客户端标识，见 clients 命令
  --config PATH   改写这个文件（按该客户端的格式），例如 claude-targets 列出的实例配置
  --keep-comments 文件带注释或尾随逗号时就地改写：只动本构建的条目，注释与其余内容原样保留
  --unchecked     不检查改写后客户端能否加载该文件（默认会拒绝写出客户端无法加载的文件，并说明原因）
退出状态：成功为 0，失败为 1（消息说明原因），用法错误为 2。</source>
        <translation>  CLIENT          Client ID, as listed by the clients command
  --config PATH   Rewrite this file (in the client&apos;s format), e.g. an instance configuration listed by claude-targets
  --keep-comments Rewrite a file with comments or trailing commas in place: only this build&apos;s entry changes; comments and everything else stay as they are
  --unchecked     Do not check that the client can still load the rewritten file (by default, a rewrite the client could not load is refused, with the reason)
Exit status: 0 on success, 1 on failure (the message says why), 2 on a usage error.</translation>
    </message>
    <message>
        <source>从客户端的配置文件中移除本构建的条目（改写前先备份）</source>
        <translation>Remove this build&apos;s entry from a client&apos;s configuration file (backed up first)</translation>
    </message>
    <message>
        <source>  CLIENT          客户端标识，见 clients 命令
  --config PATH   改写这个文件（按该客户端的格式）
  --keep-comments 文件带注释或尾随逗号时就地改写，删去本构建的条目（及因此变空的容器），注释与其余内容原样保留
  --unchecked     不检查改写后客户端能否加载该文件
没有可移除的条目也算成功，文件不动。
退出状态：成功为 0，失败为 1（消息说明原因），用法错误为 2。</source>
        <translation>  CLIENT          Client ID, as listed by the clients command
  --config PATH   Rewrite this file (in the client&apos;s format)
  --keep-comments Rewrite a file with comments or trailing commas in place: this build&apos;s entry (and any container it leaves empty) is deleted; comments and everything else stay as they are
  --unchecked     Do not check that the client can still load the rewritten file
If there is no entry to remove, that counts as success and the file is left untouched.
Exit status: 0 on success, 1 on failure (the message says why), 2 on a usage error.</translation>
    </message>
    <message>
        <source>打印该客户端格式的配置片段，供手工粘贴</source>
        <translation>Print a configuration snippet in the client&apos;s format, for pasting by hand</translation>
    </message>
    <message>
        <source>  CLIENT          客户端标识，见 clients 命令</source>
        <translation>  CLIENT          Client ID, as listed by the clients command</translation>
    </message>
    <message>
        <source>启动 sidecar，完成 MCP 握手（initialize 与 tools/list）并报告结果</source>
        <translation>Start the sidecar, run the MCP handshake (initialize and tools/list) and report the result</translation>
    </message>
    <message>
        <source>  --budget-ms N   整个自检的时间预算，单位毫秒（默认 10000）
退出状态：两个应答都在预算内到达为 0，否则为 1。</source>
        <translation>  --budget-ms N   Time budget for the whole self-test, in milliseconds (default 10000)
Exit status: 0 if both answers arrive within the budget, 1 otherwise.</translation>
    </message>
    <message>
        <source>诊断客户端为何看不到本机的 MCP 服务：配置文件、条目、遮蔽它的配置、sidecar、主程序与工具目录</source>
        <translation>Diagnose why a client cannot see the local MCP server: configuration file, entry, shadowing configurations, sidecar, the Quorvelin app and the tool catalogue</translation>
    </message>
    <message>
        <source>  CLIENT          只诊断这个客户端（默认诊断全部客户端）
每一项发现标为 ✓ 正常、! 警告或 ✗ 问题，并附处理建议。
退出状态：没有问题为 0，有问题为 1（警告不算）。</source>
        <translation>  CLIENT          Diagnose only this client (default: all clients)
Each finding is marked ✓ OK, ! warning or ✗ problem, with a suggestion for what to do.
Exit status: 0 if no problems are found, 1 otherwise (warnings do not count).</translation>
    </message>
    <message>
        <source>列出本构建的 Claude Code 默认配置及各实例配置，并显示接入状态</source>
        <translation>List this build&apos;s Claude Code configurations (the default and each instance) with their connection state</translation>
    </message>
    <message>
        <source>每个路径都可作为 install/remove 的 --config 参数。</source>
        <translation>Each path can be given to install/remove as --config.</translation>
    </message>
    <message>
        <source>用法：%1 &lt;命令&gt; [选项]</source>
        <translation>Usage: %1 &lt;command&gt; [options]</translation>
    </message>
    <message>
        <source>不借助图形界面，把 Quorvelin 的 MCP 服务接入 AI 客户端、移除并自检。</source>
        <translation>Connect Quorvelin&apos;s MCP server to AI clients, remove it and run a self-test, all without the graphical interface.</translation>
    </message>
    <message>
        <source>命令：</source>
        <translation>Commands:</translation>
    </message>
    <message>
        <source>选项：</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>以 JSON 输出记录，标准输出上不再有其他内容</source>
        <translation>Print records as JSON, with nothing else on standard output</translation>
    </message>
    <message>
        <source>显示帮助；写在命令之后则显示该命令的帮助</source>
        <translation>Show help; after a command, show that command&apos;s help</translation>
    </message>
    <message>
        <source>显示版本</source>
        <translation>Show the version</translation>
    </message>
    <message>
        <source>退出状态：0 成功，1 执行失败（消息说明原因），2 用法错误。</source>
        <translation>Exit status: 0 on success, 1 on failure (the message says why), 2 on a usage error.</translation>
    </message>
    <message>
        <source>用法：%1 %2</source>
        <translation>Usage: %1 %2</translation>
    </message>
    <message>
        <source>--config 需要一个文件路径</source>
        <translation>--config needs a file path</translation>
    </message>
    <message>
        <source>--budget-ms 需要一个正整数（毫秒），而不是“%1”</source>
        <translation>--budget-ms needs a positive whole number of milliseconds, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>未知选项：%1</source>
        <translation>Unknown option: %1</translation>
    </message>
    <message>
        <source>选项 %1 缺少取值</source>
        <translation>Option %1 needs a value</translation>
    </message>
    <message>
        <source>命令 %1 不接受选项 %2</source>
        <translation>The %1 command does not accept the %2 option</translation>
    </message>
    <message>
        <source>命令 %1 需要一个客户端标识（CLIENT），可用 clients 命令查看</source>
        <translation>The %1 command needs a client ID (CLIENT); the clients command lists them</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>Unexpected argument: %1</translation>
    </message>
    <message>
        <source>%1 %2（MCP 服务器 %3）</source>
        <translation>%1 %2 (MCP server %3)</translation>
    </message>
    <message>
        <source>未知命令：%1</source>
        <translation>Unknown command: %1</translation>
    </message>
    <message>
        <source>检查 MCP sidecar 放得对不对：是文件、可执行、旁边有 GUI 桥接模块</source>
        <translation>Check where the MCP sidecar lies: a file, executable, with the GUI bridge module beside it</translation>
    </message>
    <message>
        <source>  PATH            要检查的 sidecar（默认为本命令旁边的 quorvelin-mcp）
退出状态：没有问题为 0，有问题为 1。</source>
        <translation>  PATH            The sidecar to check (default: quorvelin-mcp beside this command)
Exit status: 0 when there is no problem, 1 otherwise.</translation>
    </message>
</context>
</TS>
