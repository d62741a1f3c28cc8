<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>QObject</name>
    <message>
        <source>另一个程序已在 %1 上提供 GUI 桥接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quorvelin 主程序尚未提供任何工具</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入工具目录 %1：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Claude Code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Claude Desktop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Codex</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cursor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zed Editor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OpenCode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开发环境（默认）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>开发实例 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本地生产环境（全局）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>实例 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>第 %1 行用内联表写成了 mcp_servers.%2；接入与移除只改写 [mcp_servers.%2] 表，不会动它</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>第 %1 行用点号键写成了 mcp_servers.%2；接入与移除只改写 [mcp_servers.%2] 表，不会动它</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>把它改写成 [mcp_servers.%1] 表。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>第 %1 行的 [mcp_servers.%2] 在 TOML 里并不是一个表（例如在多行字符串中），接入与移除却会改动那几行</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>手工编辑这个文件。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 中没有 %2 条目：未接入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接入这个客户端。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新接入这个客户端，让条目启动 %1。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目 %1 没有可用的命令</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目 %1 启动的是另一个程序：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目 %1 要启动的程序不存在：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目 %1 启动本机的 MCP sidecar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这些项目里另有同名条目 %1，在那里它优先生效：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>在 %1 里这些项目的 mcpServers 中删去 %2。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 也定义了 %2，指向 %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删去其中一处，只留一个配置文件。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 与 %2 并存，OpenCode 两个都会读取</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>把两者合并成一个文件。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cline 命令行客户端读取的是 %1，其中没有 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>若使用 Cline 命令行客户端，也把这个文件接入。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cline 命令行客户端的 %1 中，%2 启动的是另一个程序：%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新接入这个文件，让条目启动 %1。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cline 命令行客户端的 %1 也已接入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有配置文件 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接入这个客户端时会创建它。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取配置文件 %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>检查这个文件的权限。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 含注释或尾随逗号，而 %2 按严格的 JSON 读取它</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删去注释与尾随逗号。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 无法被 %2 加载（第 %3 行：%4）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>修正这一处；在此之前 %1 不会启动其中的任何 MCP 服务器。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>配置文件可以加载：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新安装 Quorvelin：sidecar 应与主程序在同一目录。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未找到 MCP sidecar：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 是一个目录，不是 MCP sidecar 程序</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>删去或改名这个目录，再重新安装 Quorvelin。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP sidecar 没有执行权限：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>恢复它的执行权限，或重新安装 Quorvelin。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP sidecar 旁边没有可用的 GUI 桥接模块 %1，每个工具调用都会得到 [need_gui]（%2）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>把 %1 放到 sidecar 所在的目录 %2（重新安装 Quorvelin 即可）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP sidecar 就绪：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>自检通过：%1（%2）· 协议 %3 · %n 个工具 · 用时 %4 ms</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>自检失败：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>sidecar 无法完成 MCP 握手；重新安装 Quorvelin。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quorvelin 主程序正在应答（%1）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quorvelin 主程序此刻没有应答（%1），工具调用会得到 [need_gui]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打开 Quorvelin（它会常驻托盘）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启动一次 Quorvelin 主程序，它会写入工具目录。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>还没有工具目录 %1，tools/list 会是空的</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>工具目录 %1 里没有 tools 数组，tools/list 会是空的</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>工具目录：%n 个工具</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>JSON · mcpServers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JSON · context_servers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JSON · mcp</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TOML · [mcp_servers.*]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未接入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已接入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>条目不符：命令为空、指向别处或文件不存在</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取：文件打不开或不是有效的 JSON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正常</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>问题</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未找到 MCP sidecar:%1
（它应与 quor-velin 主程序在同一目录）。可能是安装包未携带或被杀软删除 —— 请重新安装 Quorvelin 后再接入。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法创建目录：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份失败：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>原文件 JSON 解析失败，未改动</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未改动：%1 第 %2 行已用内联表定义了 mcp_servers.%3，再添加 [mcp_servers.%3] 表会让客户端无法加载该文件。请删去那一处定义，或把它改写成 [mcp_servers.%3] 表，然后再试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未改动：%1 第 %2 行已用点号键定义了 mcp_servers.%3，再添加 [mcp_servers.%3] 表会让客户端无法加载该文件。请删去定义它的那些点号键，或把它们改写成 [mcp_servers.%3] 表，然后再试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未改动：改写后 %1 将无法被客户端加载（第 %2 行：%3）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>原文件 JSON 解析失败：%1（已备份到 %2，未修改原文件）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法写入：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>值之后还有多余的内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>第 %1 行第 %2 列：%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>注释没有结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>内容意外结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>嵌套过深</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>意外的字符“%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无效的数字</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>字符串不是有效的 UTF-8</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>字符串中有控制字符</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>字符串没有结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无效的转义序列</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>缺少逗号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>数组没有结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>应为用双引号括起的键</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重复的键“%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>缺少冒号</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>对象没有结束</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>顶层不是 JSON 对象</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>保留注释的改写未能得到有效的条目</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法启动 MCP sidecar 子进程（quorvelin-mcp）：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 子进程提前退出或响应异常 — 收到 initialize=%1 tools/list=%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MCP 握手超时（%1ms）— 收到 initialize=%2 tools/list=%3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SetupCommand</name>
    <message>
        <source>用 %1 --help 查看用法。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>（命令：%1）</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>自检通过：%1（%2）· 协议 %3 · %n 个工具 · 用时 %4 ms</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>自检失败：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知客户端：%1（可用：%2）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已接入 %1：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接入 %1 失败：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已从 %1 移除：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 的配置中没有本构建的条目，未改动：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>从 %1 移除失败：%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>已替换原有条目</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>已清除 %n 个命令已不存在的旧条目</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>无需备份（新文件或空文件）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>备份：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本机安装</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>列出支持的客户端：配置格式、配置文件、接入状态与登记的命令</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  --keep-comments 带注释或尾随逗号的 JSON 文件（如 Zed 的设置）也照常读取，报告真实状态
状态：已接入、未接入、条目不符、无法读取。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>把本构建的 sidecar 接入客户端的配置文件（改写前先备份）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  CLIENT          客户端标识，见 clients 命令
  --config PATH   改写这个文件（按该客户端的格式），例如 claude-targets 列出的实例配置
  --keep-comments 文件带注释或尾随逗号时就地改写：只动本构建的条目，注释与其余内容原样保留
  --unchecked     不检查改写后客户端能否加载该文件（默认会拒绝写出客户端无法加载的文件，并说明原因）
退出状态：成功为 0，失败为 1（消息说明原因），用法错误为 2。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>从客户端的配置文件中移除本构建的条目（改写前先备份）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  CLIENT          客户端标识，见 clients 命令
  --config PATH   改写这个文件（按该客户端的格式）
  --keep-comments 文件带注释或尾随逗号时就地改写，删去本构建的条目（及因此变空的容器），注释与其余内容原样保留
  --unchecked     不检查改写后客户端能否加载该文件
没有可移除的条目也算成功，文件不动。
退出状态：成功为 0，失败为 1（消息说明原因），用法错误为 2。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打印该客户端格式的配置片段，供手工粘贴</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  CLIENT          客户端标识，见 clients 命令</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>启动 sidecar，完成 MCP 握手（initialize 与 tools/list）并报告结果</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  --budget-ms N   整个自检的时间预算，单位毫秒（默认 10000）
退出状态：两个应答都在预算内到达为 0，否则为 1。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>诊断客户端为何看不到本机的 MCP 服务：配置文件、条目、遮蔽它的配置、sidecar、主程序与工具目录</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>  CLIENT          只诊断这个客户端（默认诊断全部客户端）
每一项发现标为 ✓ 正常、! 警告或 ✗ 问题，并附处理建议。
退出状态：没有问题为 0，有问题为 1（警告不算）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>列出本构建的 Claude Code 默认配置及各实例配置，并显示接入状态</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>每个路径都可作为 install/remove 的 --config 参数。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用法：%1 &lt;命令&gt; [选项]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不借助图形界面，把 Quorvelin 的 MCP 服务接入 AI 客户端、移除并自检。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>命令：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选项：</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>以 JSON 输出记录，标准输出上不再有其他内容</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示帮助；写在命令之后则显示该命令的帮助</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>显示版本</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>退出状态：0 成功，1 执行失败（消息说明原因），2 用法错误。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>用法：%1 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--config 需要一个文件路径</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--budget-ms 需要一个正整数（毫秒），而不是“%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知选项：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>选项 %1 缺少取值</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>命令 %1 不接受选项 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>命令 %1 需要一个客户端标识（CLIENT），可用 clients 命令查看</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2（MCP 服务器 %3）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未知命令：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
