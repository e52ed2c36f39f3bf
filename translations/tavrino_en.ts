<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AnalysisDock</name>
    <message>
        <source>所选通道最近一次阶跃：实际值（蓝）、目标值（红虚线）、上次运行（灰虚线）、所选整定建议的预测（绿点线）</source>
        <translation>The selected channel&apos;s last step: actual (blue), target (red, dashed), previous run (grey, dashed), the selected suggestion&apos;s prediction (green, dotted)</translation>
    </message>
    <message>
        <source>响应分析</source>
        <translation>Response analysis</translation>
    </message>
    <message>
        <source>在PID调试助手页显示或隐藏阶跃响应指标和运行记录</source>
        <translation>Show or hide the step-response figures and the run history on the PID tuning tab</translation>
    </message>
    <message>
        <source>没有运行记录可导出</source>
        <translation>No run history to export</translation>
    </message>
    <message>
        <source>导出记录</source>
        <translation>Export history</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>已导出%1条运行记录</source>
        <translation>Exported %1 runs</translation>
    </message>
    <message>
        <source>运行记录导出失败：%1</source>
        <translation>Run history export failed: %1</translation>
    </message>
</context>
<context>
    <name>AppendFile</name>
    <message>
        <source>文件已被删除或移动，已写入的内容未能另存：%1</source>
        <translation>the file was deleted or moved; what was written could not be kept: %1</translation>
    </message>
    <message>
        <source>文件已被删除或移动，已写入的内容另存为 %1</source>
        <translation>the file was deleted or moved; what was written is kept in %1</translation>
    </message>
</context>
<context>
    <name>AssistantTab</name>
    <message>
        <source>发送成功！</source>
        <translation>Sent.</translation>
    </message>
    <message>
        <source>选择一个文件夹</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>保存失败！</source>
        <translation>Save failed!</translation>
    </message>
    <message>
        <source>发送失败：正在发送文件</source>
        <translation>Send failed: a file is being sent</translation>
    </message>
    <message>
        <source>选择一个文件</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>文件(*.hex *.bin *)</source>
        <translation>Files (*.hex *.bin *)</translation>
    </message>
    <message>
        <source>文件打开失败！%1</source>
        <translation>Cannot open the file! %1</translation>
    </message>
    <message>
        <source>正在发送文件…</source>
        <translation>Sending the file…</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>发送文件</source>
        <translation>Send file</translation>
    </message>
    <message>
        <source>正在发送文件 %1%</source>
        <translation>Sending the file %1%</translation>
    </message>
    <message>
        <source>发送失败，请检查输入是否为0xXX的形式！</source>
        <translation>Send failed: check that the input has the form 0xXX!</translation>
    </message>
    <message>
        <source>发送周期无效</source>
        <translation>Invalid send period</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
</context>
<context>
    <name>BenchSettings</name>
    <message>
        <source>恢复默认设置</source>
        <translation>Restore default settings</translation>
    </message>
    <message>
        <source>忘记记住的端口、窗口布局、选项和文件夹，回到首次启动时的设置</source>
        <translation>Forget the remembered ports, window layout, options and folders and go back to the settings of the first start</translation>
    </message>
    <message>
        <source>已恢复默认设置</source>
        <translation>Default settings restored</translation>
    </message>
</context>
<context>
    <name>ChannelParameters</name>
    <message>
        <source>读取超时：板子未应答</source>
        <translation>Read timed out: no answer from the board</translation>
    </message>
    <message>
        <source>校验失败：板子返回 %1</source>
        <translation>Verification failed: the board returned %1</translation>
    </message>
</context>
<context>
    <name>ChartControls</name>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>自动滚屏模式开启</source>
        <translation>Auto scroll on</translation>
    </message>
    <message>
        <source>自动滚屏模式关闭</source>
        <translation>Auto scroll off</translation>
    </message>
    <message>
        <source>更改横向滚动条功能</source>
        <translation>Horizontal scroll bar mode changed</translation>
    </message>
</context>
<context>
    <name>ChartFiles</name>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>非法路径， 请选择合法路径！</source>
        <translation>Invalid path, please choose a valid one!</translation>
    </message>
    <message>
        <source>选择一个文件夹</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>导出失败！</source>
        <translation>Export failed!</translation>
    </message>
    <message>
        <source>导出数据</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>正在导出数据…</source>
        <translation>Exporting…</translation>
    </message>
    <message>
        <source>导出已取消</source>
        <translation>Export cancelled</translation>
    </message>
    <message>
        <source>导出成功！</source>
        <translation>Exported.</translation>
    </message>
    <message>
        <source>导出失败！%1</source>
        <translation>Export failed! %1</translation>
    </message>
    <message>
        <source>选择一个文件</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>文件(*.csv)</source>
        <translation>Files (*.csv)</translation>
    </message>
    <message>
        <source>导入失败！</source>
        <translation>Import failed!</translation>
    </message>
    <message>
        <source>导入失败！%1</source>
        <translation>Import failed! %1</translation>
    </message>
    <message>
        <source>导入数据</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>正在导入数据…</source>
        <translation>Importing…</translation>
    </message>
    <message>
        <source>%1个点，跳过%2行</source>
        <translation>%1 points, %2 lines skipped</translation>
    </message>
    <message>
        <source>导入失败！%1，已导入%2</source>
        <translation>Import failed! %1; imported %2</translation>
    </message>
    <message>
        <source>导入已取消，已导入%1</source>
        <translation>Import cancelled; imported %1</translation>
    </message>
    <message>
        <source>成功导入%1</source>
        <translation>Imported %1</translation>
    </message>
</context>
<context>
    <name>ChartInteraction</name>
    <message>
        <source>CH%1 实际 %2</source>
        <translation>CH%1 actual %2</translation>
    </message>
    <message>
        <source>目标 %1</source>
        <translation>target %1</translation>
    </message>
</context>
<context>
    <name>ControllerForm</name>
    <message>
        <source>每秒</source>
        <translation>per second</translation>
    </message>
    <message>
        <source>每采样</source>
        <translation>per sample</translation>
    </message>
</context>
<context>
    <name>CsvCodec</name>
    <message>
        <source>数据过多（超过%1行）</source>
        <translation>Too much data (more than %1 rows)</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <source>zh</source>
        <extracomment>The language of this catalogue as --lang names it: zh or en.</extracomment>
        <translation>en</translation>
    </message>
</context>
<context>
    <name>LineWriter</name>
    <message>
        <source>串口未打开</source>
        <translation>Port not open</translation>
    </message>
    <message>
        <source>正在发送文件</source>
        <translation>A file is already being sent</translation>
    </message>
    <message>
        <source>发送失败！</source>
        <translation>Send failed!</translation>
    </message>
    <message>
        <source>发送失败：发送缓冲区已满</source>
        <translation>Send failed: send buffer full</translation>
    </message>
    <message>
        <source>发送成功！</source>
        <translation>Sent.</translation>
    </message>
    <message>
        <source>发送已取消（已发送%1字节）</source>
        <translation>Sending cancelled (%1 bytes sent)</translation>
    </message>
    <message>
        <source>发送失败：读取文件出错</source>
        <translation>Send failed: error reading the file</translation>
    </message>
    <message>
        <source>发送失败：串口已关闭</source>
        <translation>Send failed: port closed</translation>
    </message>
</context>
<context>
    <name>LinkHealthLabel</name>
    <message>
        <source>PID链路：收到的帧、丢弃的字节、重新同步的次数</source>
        <translation>PID link: frames received, bytes discarded, resyncs</translation>
    </message>
    <message>
        <source>行 %1 · 格式错误 %2 · 丢弃 %3 字符</source>
        <translation>Lines %1 · malformed %2 · dropped %3 chars</translation>
    </message>
    <message>
        <source>帧 %1 · 丢弃 %2 字节 · 重同步 %3</source>
        <translation>Frames %1 · discarded %2 bytes · resyncs %3</translation>
    </message>
</context>
<context>
    <name>LoopIdentifier</name>
    <message>
        <source>不知道这一段运行时的P、I、D：请先在P、I、D旁点“读”，再运行一次阶跃</source>
        <translation>The P, I, D of this run are unknown: press “R” next to P, I and D, then run a step again</translation>
    </message>
    <message>
        <source>P、I、D不是有效数字</source>
        <translation>P, I, D are not valid numbers</translation>
    </message>
    <message>
        <source>P和I都为0：控制器没有动作，无从识别</source>
        <translation>P and I are both 0: the controller does nothing, there is nothing to identify</translation>
    </message>
    <message>
        <source>采样周期未知：这一段没有采样的到达时间</source>
        <translation>Sample period unknown: the samples of this step carry no arrival times</translation>
    </message>
    <message>
        <source>控制器形式无效：输出上限必须大于下限</source>
        <translation>Invalid controller form: the output maximum must be above the minimum</translation>
    </message>
    <message>
        <source>阶跃后只有%1个采样，至少要%2个</source>
        <translation>Only %1 samples after the step; at least %2 are needed</translation>
    </message>
    <message>
        <source>这一段含有不是数字的实际值</source>
        <translation>This step holds actual values that are not numbers</translation>
    </message>
    <message>
        <source>目标值不是有效数字</source>
        <translation>The target is not a valid number</translation>
    </message>
    <message>
        <source>没有真正的阶跃：目标只变了%1，不到噪声（%2）的%3倍</source>
        <translation>No real step: the target moved by only %1, less than %3 times the noise (%2)</translation>
    </message>
    <message>
        <source>拟合度只有%1%（至少要%2%）：这一段不像一阶加纯滞后的对象，或控制器形式不对</source>
        <translation>Fit only %1% (at least %2% needed): this step does not look like a first-order-plus-dead-time plant, or the controller form is wrong</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>切换页面会关闭已打开的串口</source>
        <translation>Switching tabs closes the open port</translation>
    </message>
    <message>
        <source>串口助手</source>
        <translation>Serial Terminal</translation>
    </message>
    <message>
        <source>通信</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>要打开的串口，可直接输入设备路径</source>
        <translation>The port to open; a device path can be typed in</translation>
    </message>
    <message>
        <source>重新扫描串口；手动输入的设备存在时保留</source>
        <translation>Scan for ports again; a typed device is kept while it exists</translation>
    </message>
    <message>
        <source> 扫描</source>
        <translation> Scan</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>波特率，可输入列表外的数值</source>
        <translation>Baud rate; values not in the list can be typed in</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>校验方式：无/偶/奇</source>
        <translation>Parity: none/even/odd</translation>
    </message>
    <message>
        <source>按上面的设置打开或关闭串口</source>
        <translation>Open or close the port with the settings above</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>接收设置</source>
        <translation>Receive options</translation>
    </message>
    <message>
        <source>收到的字节按文本(UTF-8)显示</source>
        <translation>Show received bytes as text (UTF-8)</translation>
    </message>
    <message>
        <source>ASCII</source>
        <translation>ASCII</translation>
    </message>
    <message>
        <source>收到的字节按十六进制显示</source>
        <translation>Show received bytes as hexadecimal</translation>
    </message>
    <message>
        <source>HEX</source>
        <translation>HEX</translation>
    </message>
    <message>
        <source>每次接收前加上接收时间</source>
        <translation>Prefix each reception with its arrival time</translation>
    </message>
    <message>
        <source>日志模式</source>
        <translation>Log mode</translation>
    </message>
    <message>
        <source>清空接收区</source>
        <translation>Clear the receive area</translation>
    </message>
    <message>
        <source>清空接收</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>把接收区保存为所选文件夹中的 datas.txt</source>
        <translation>Save the receive area as datas.txt in the chosen folder</translation>
    </message>
    <message>
        <source>保存为文件</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>发送设置</source>
        <translation>Send options</translation>
    </message>
    <message>
        <source>发送区内容按文本发送</source>
        <translation>Send the send area as text</translation>
    </message>
    <message>
        <source>按 0xXX 字节发送，值之间用一个分隔符</source>
        <translation>Send byte values written as 0xXX, separated by one character</translation>
    </message>
    <message>
        <source>文本末尾加回车换行</source>
        <translation>Add CR LF at the end of the text</translation>
    </message>
    <message>
        <source>发送新行(\r\n)</source>
        <translation>New line (\r\n)</translation>
    </message>
    <message>
        <source>按周期重复发送发送区内容</source>
        <translation>Resend the send area periodically</translation>
    </message>
    <message>
        <source>自动发送</source>
        <translation>Auto send</translation>
    </message>
    <message>
        <source>自动发送周期（毫秒）</source>
        <translation>Auto-send period (milliseconds)</translation>
    </message>
    <message>
        <source>ms发送一次</source>
        <translation>ms period</translation>
    </message>
    <message>
        <source>接收数据</source>
        <translation>Received data</translation>
    </message>
    <message>
        <source>收到的数据</source>
        <translation>The data received</translation>
    </message>
    <message>
        <source>发送数据</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>要发送的内容；HEX 模式写成 0x41 0x42</source>
        <translation>What to send; in HEX mode write 0x41 0x42</translation>
    </message>
    <message>
        <source>最近选择的文件或文件夹</source>
        <translation>The file or folder chosen last</translation>
    </message>
    <message>
        <source>选择文件并原样发送全部内容</source>
        <translation>Choose a file and send all of it unchanged</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Send file</translation>
    </message>
    <message>
        <source>发送发送区内容</source>
        <translation>Send the send area</translation>
    </message>
    <message>
        <source>PID调试助手</source>
        <translation>PID Tuning</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>P</source>
        <translation>P</translation>
    </message>
    <message>
        <source>所选通道的 P，写入前须为有效数字</source>
        <translation>The selected channel&apos;s P; must be a valid number to be written</translation>
    </message>
    <message>
        <source>向板子读取所选通道的 P（1 秒未应答提示超时）</source>
        <translation>Read the selected channel&apos;s P from the board (time-out after 1 s without answer)</translation>
    </message>
    <message>
        <source>读</source>
        <translation>R</translation>
    </message>
    <message>
        <source>把左边的 P 写入所选通道</source>
        <translation>Write the P on the left to the selected channel</translation>
    </message>
    <message>
        <source>写</source>
        <translation>W</translation>
    </message>
    <message>
        <source>I</source>
        <translation>I</translation>
    </message>
    <message>
        <source>所选通道的 I，写入前须为有效数字</source>
        <translation>The selected channel&apos;s I; must be a valid number to be written</translation>
    </message>
    <message>
        <source>向板子读取所选通道的 I（1 秒未应答提示超时）</source>
        <translation>Read the selected channel&apos;s I from the board (time-out after 1 s without answer)</translation>
    </message>
    <message>
        <source>把左边的 I 写入所选通道</source>
        <translation>Write the I on the left to the selected channel</translation>
    </message>
    <message>
        <source>D</source>
        <translation>D</translation>
    </message>
    <message>
        <source>所选通道的 D，写入前须为有效数字</source>
        <translation>The selected channel&apos;s D; must be a valid number to be written</translation>
    </message>
    <message>
        <source>向板子读取所选通道的 D（1 秒未应答提示超时）</source>
        <translation>Read the selected channel&apos;s D from the board (time-out after 1 s without answer)</translation>
    </message>
    <message>
        <source>把左边的 D 写入所选通道</source>
        <translation>Write the D on the left to the selected channel</translation>
    </message>
    <message>
        <source>目标</source>
        <translation>Tgt.</translation>
    </message>
    <message>
        <source>所选通道的目标值，写入前须为有效数字</source>
        <translation>The selected channel&apos;s target; must be a valid number to be written</translation>
    </message>
    <message>
        <source>向板子读取所选通道的目标值（1 秒未应答提示超时）</source>
        <translation>Read the selected channel&apos;s target from the board (time-out after 1 s without answer)</translation>
    </message>
    <message>
        <source>把左边的目标值写入所选通道</source>
        <translation>Write the target on the left to the selected channel</translation>
    </message>
    <message>
        <source>实际</source>
        <translation>Act.</translation>
    </message>
    <message>
        <source>板子返回的所选通道实际值</source>
        <translation>The selected channel&apos;s actual value, as the board reported it</translation>
    </message>
    <message>
        <source>向板子读取所选通道的实际值（1 秒未应答提示超时）</source>
        <translation>Read the selected channel&apos;s actual value from the board (time-out after 1 s without answer)</translation>
    </message>
    <message>
        <source>每次写入后立即向板子读回该值核对，不一致时提示</source>
        <translation>After each write, read the value back from the board and say so when it differs</translation>
    </message>
    <message>
        <source>写后校验</source>
        <translation>Verify writes</translation>
    </message>
    <message>
        <source>在图中显示或隐藏通道 1</source>
        <translation>Show or hide channel 1 in the chart</translation>
    </message>
    <message>
        <source>CH1</source>
        <translation>CH1</translation>
    </message>
    <message>
        <source>选择参数读写的通道 1</source>
        <translation>Read and write the parameters of channel 1</translation>
    </message>
    <message>
        <source>在图中显示或隐藏通道 2</source>
        <translation>Show or hide channel 2 in the chart</translation>
    </message>
    <message>
        <source>CH2</source>
        <translation>CH2</translation>
    </message>
    <message>
        <source>选择参数读写的通道 2</source>
        <translation>Read and write the parameters of channel 2</translation>
    </message>
    <message>
        <source>在图中显示或隐藏通道 3</source>
        <translation>Show or hide channel 3 in the chart</translation>
    </message>
    <message>
        <source>CH3</source>
        <translation>CH3</translation>
    </message>
    <message>
        <source>选择参数读写的通道 3</source>
        <translation>Read and write the parameters of channel 3</translation>
    </message>
    <message>
        <source>在图中显示或隐藏通道 4</source>
        <translation>Show or hide channel 4 in the chart</translation>
    </message>
    <message>
        <source>CH4</source>
        <translation>CH4</translation>
    </message>
    <message>
        <source>选择参数读写的通道 4</source>
        <translation>Read and write the parameters of channel 4</translation>
    </message>
    <message>
        <source>板子以文本行（8 个逗号分隔的数）发送时勾选；运行中不能更改</source>
        <translation>Tick when the board sends text lines (8 numbers separated by commas); cannot be changed during a run</translation>
    </message>
    <message>
        <source> 字符串模式接收数据</source>
        <translation> Receive in string mode</translation>
    </message>
    <message>
        <source>清空所有曲线</source>
        <translation>Clear all curves</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>暂停或继续图的刷新（数据照收）</source>
        <translation>Pause or resume the chart (data are still received)</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>从 CSV 文件导入曲线</source>
        <translation>Import curves from a CSV file</translation>
    </message>
    <message>
        <source>导入数据</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>把曲线导出为所选文件夹中的 Export.csv</source>
        <translation>Export the curves as Export.csv in the chosen folder</translation>
    </message>
    <message>
        <source>导出数据</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>发送开始/停止指令，开始或停止运行</source>
        <translation>Send the start/stop command to start or stop the run</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>自动滚屏：横轴跟随最新数据、纵轴自适应，滚动条停用</source>
        <translation>Auto scroll: the horizontal axis follows the newest data, the vertical axis fits them, the scroll bars are disabled</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>把收到的每个样本连续写入 CSV 文件；再按一次停止录制</source>
        <translation>Write every sample received to a CSV file as it comes; press again to stop recording</translation>
    </message>
    <message>
        <source>录制</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>在图中用虚线叠加各通道上一次阶跃的实际值曲线</source>
        <translation>Overlay each channel&apos;s actual curve of the previous step as a dashed line</translation>
    </message>
    <message>
        <source>对比上次</source>
        <translation>Compare last</translation>
    </message>
    <message>
        <source>每个通道保留的样本数；10000 时满了清空，更大时丢弃最旧的</source>
        <translation>Samples kept per channel; at 10000 the chart is cleared when full, above that the oldest are dropped</translation>
    </message>
    <message>
        <source>历史长度</source>
        <translation>History length</translation>
    </message>
    <message>
        <source>图像</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>纵轴以 0 为中心缩放，越往下范围越小</source>
        <translation>Zoom the vertical axis around 0; lower means a smaller range</translation>
    </message>
    <message>
        <source>拖动移动视图；勾选右边的框后改为缩放</source>
        <translation>Drag to move the view; with the box on the right ticked it zooms</translation>
    </message>
    <message>
        <source>切换下方滚动条：不勾选为移动视图，勾选为缩放视图</source>
        <translation>What the scroll bar below does: unticked it moves the view, ticked it zooms</translation>
    </message>
    <message>
        <source>响应分析</source>
        <translation>Response analysis</translation>
    </message>
    <message>
        <source>阶跃</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>上升时间</source>
        <translation>Rise</translation>
    </message>
    <message>
        <source>峰值时间</source>
        <translation>Peak</translation>
    </message>
    <message>
        <source>超调量</source>
        <translation>Overshoot</translation>
    </message>
    <message>
        <source>调节时间</source>
        <translation>Settling</translation>
    </message>
    <message>
        <source>稳态误差</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>把运行记录导出为 CSV 文件</source>
        <translation>Export the run history to a CSV file</translation>
    </message>
    <message>
        <source>导出记录</source>
        <translation>Export history</translation>
    </message>
    <message>
        <source>清空记录</source>
        <translation>Clear history</translation>
    </message>
    <message>
        <source>Tavrino串口PID调试助手</source>
        <translation>Tavrino Serial PID Assistant</translation>
    </message>
    <message>
        <source>欢迎使用TavrinoPID调试助手！</source>
        <translation>Welcome to the Tavrino PID assistant!</translation>
    </message>
    <message>
        <source>打开失败！%1</source>
        <translation>Open failed! %1</translation>
    </message>
    <message>
        <source>串口已断开</source>
        <translation>Port disconnected</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>协议详解</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>教程</source>
        <translation>Tutorial</translation>
    </message>
    <message>
        <source>工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>打开失败 %1</source>
        <translation>Cannot open %1</translation>
    </message>
    <message>
        <source>已打开协议</source>
        <translation>Protocol opened</translation>
    </message>
    <message>
        <source>已打开教程</source>
        <translation>Tutorial opened</translation>
    </message>
    <message>
        <source>各通道当前阶跃的响应指标：上升时间(10%→90%)、峰值时间、超调量、调节时间、稳态误差。噪声由平稳段的二阶差分估计；小于5倍噪声或1%量程的目标变化不算阶跃；峰值和调节时间取自平滑后的响应，调节带为 max(2%, 5倍平滑后噪声)，进入后不再离开</source>
        <translation>Figures of each channel&apos;s current step: rise time (10%→90%), peak time, overshoot, settling time, steady-state error. The noise is estimated from second differences of steady stretches; a target change below five noise spreads or 1% of the range is no step; peak and settling come from the smoothed response, the settling band is max(2%, five smoothed noise spreads), entered for good</translation>
    </message>
    <message>
        <source>只显示所选通道的运行记录</source>
        <translation>Show only the chosen channel&apos;s runs</translation>
    </message>
    <message>
        <source>全部通道</source>
        <translation>All channels</translation>
    </message>
    <message>
        <source>点</source>
        <translation>pts</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>清空运行记录（包括保存在本机的记录）</source>
        <translation>Clear the run history (also the copy kept on this computer)</translation>
    </message>
    <message>
        <source>每个通道的每次阶跃结束（下一次阶跃、写入参数、停止或关闭串口）时记下的一行：时间、通道、期间生效的参数和指标。点击表头排序；记录在程序关闭后保留</source>
        <translation>A row for each channel&apos;s step when it ends (next step, a gain written, stop or port closed): time, channel, the gains in force and the figures. Click a header to sort; the history is kept when the program closes</translation>
    </message>
    <message>
        <source>通道%1还没有结束的阶跃：开始运行，等响应稳定后停止，再识别</source>
        <translation>Channel %1 has no finished step yet: start a run, stop it once the response has settled, then identify</translation>
    </message>
    <message>
        <source>整定建议</source>
        <translation>Tuning</translation>
    </message>
    <message>
        <source>在PID调试助手页显示或隐藏整定建议：由阶跃识别模型并建议P、I、D</source>
        <translation>Show or hide tuning on the PID tuning tab: a model identified from a step, and suggested P, I, D</translation>
    </message>
    <message>
        <source>横轴和读数以秒显示，从运行开始算起，按实测的采样周期换算；不勾选时为样本序号</source>
        <translation>Show the horizontal axis and the readout in seconds from the start of the run, from the measured sample period; unticked: sample numbers</translation>
    </message>
    <message>
        <source>时间轴用秒</source>
        <translation>Time in seconds</translation>
    </message>
    <message>
        <source>已关闭串口（已切换标签页）</source>
        <translation>Port closed (tab switched)</translation>
    </message>
    <message>
        <source>打开失败，请用浏览器打开 %1</source>
        <translation>Could not open it; open %1 in a browser</translation>
    </message>
    <message>
        <source>指标表和运行记录中的时间以点数或毫秒显示</source>
        <translation>Times in the figures table and the run history, in points or milliseconds</translation>
    </message>
</context>
<context>
    <name>OpenFailure</name>
    <message>
        <source>找不到设备 %1</source>
        <translation>Device not found: %1</translation>
    </message>
    <message>
        <source>串口被其他程序占用</source>
        <translation>The port is in use by another program</translation>
    </message>
    <message>
        <source>未选择串口</source>
        <translation>No port chosen</translation>
    </message>
    <message>
        <source>没有权限：用 sudo usermod -aG %1 $USER 把用户加入 %1 组，然后重新登录</source>
        <translation>No permission: add yourself to the %1 group with sudo usermod -aG %1 $USER, then log in again</translation>
    </message>
    <message>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
</context>
<context>
    <name>PID_Diagram</name>
    <message>
        <source>实际值1</source>
        <translation>Actual 1</translation>
    </message>
    <message>
        <source>目标值1</source>
        <translation>Target 1</translation>
    </message>
    <message>
        <source>实际值2</source>
        <translation>Actual 2</translation>
    </message>
    <message>
        <source>目标值2</source>
        <translation>Target 2</translation>
    </message>
    <message>
        <source>实际值3</source>
        <translation>Actual 3</translation>
    </message>
    <message>
        <source>目标值3</source>
        <translation>Target 3</translation>
    </message>
    <message>
        <source>实际值4</source>
        <translation>Actual 4</translation>
    </message>
    <message>
        <source>目标值4</source>
        <translation>Target 4</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>幅度</source>
        <translation>Amplitude</translation>
    </message>
    <message>
        <source>时间 (s)</source>
        <translation>Time (s)</translation>
    </message>
</context>
<context>
    <name>ParameterPanel</name>
    <message>
        <source>成功接收P</source>
        <translation>Received P</translation>
    </message>
    <message>
        <source>成功发送P</source>
        <translation>Sent P</translation>
    </message>
    <message>
        <source>已发送P</source>
        <translation>P sent</translation>
    </message>
    <message>
        <source>成功接收I</source>
        <translation>Received I</translation>
    </message>
    <message>
        <source>成功发送I</source>
        <translation>Sent I</translation>
    </message>
    <message>
        <source>已发送I</source>
        <translation>I sent</translation>
    </message>
    <message>
        <source>成功接收D</source>
        <translation>Received D</translation>
    </message>
    <message>
        <source>成功发送D</source>
        <translation>Sent D</translation>
    </message>
    <message>
        <source>已发送D</source>
        <translation>D sent</translation>
    </message>
    <message>
        <source>成功接收目标值</source>
        <translation>Received target</translation>
    </message>
    <message>
        <source>成功发送目标值</source>
        <translation>Sent target</translation>
    </message>
    <message>
        <source>已发送目标值</source>
        <translation>Target sent</translation>
    </message>
    <message>
        <source>成功接收实际值</source>
        <translation>Received actual value</translation>
    </message>
    <message>
        <source>参数无效，未发送</source>
        <translation>Invalid value, not sent</translation>
    </message>
    <message>
        <source>串口未打开，发送失败</source>
        <translation>Port not open, not sent</translation>
    </message>
    <message>
        <source>红框：不是有效数字，未发送</source>
        <translation>Red frame: not a valid number, not sent</translation>
    </message>
    <message>
        <source>绿框：板子已确认此值</source>
        <translation>Green frame: the board confirmed this value</translation>
    </message>
    <message>
        <source>（通道%1）</source>
        <translation> (channel %1)</translation>
    </message>
    <message>
        <source>，校验通过</source>
        <translation>, verified</translation>
    </message>
    <message>
        <source>：不是有效数字</source>
        <translation>: not a valid number</translation>
    </message>
</context>
<context>
    <name>PathIni</name>
    <message>
        <source>打开失败,配置文件丢失，请重新安装软件</source>
        <translation>Open failed, configuration file missing: please reinstall the program</translation>
    </message>
    <message>
        <source>打开失败，配置文件损坏，请修改</source>
        <translation>Open failed, configuration file damaged: please fix it</translation>
    </message>
</context>
<context>
    <name>PidLink</name>
    <message>
        <source>数据帧头错误</source>
        <translation>Bad frame header</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>Check error</translation>
    </message>
    <message>
        <source>数据格式错误，接收失败</source>
        <translation>Malformed data, not received</translation>
    </message>
</context>
<context>
    <name>PidTab</name>
    <message>
        <source>更改接收协议</source>
        <translation>Receive protocol changed</translation>
    </message>
    <message>
        <source>选择%1通道</source>
        <translation>Channel %1 selected</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
</context>
<context>
    <name>PortBoxes</name>
    <message>
        <source>%1打开成功！</source>
        <translation>%1 opened.</translation>
    </message>
</context>
<context>
    <name>PortController</name>
    <message>
        <source>驱动不支持波特率%1</source>
        <translation>The driver does not support %1 baud</translation>
    </message>
    <message>
        <source>驱动不支持该数据格式</source>
        <translation>The driver does not support this data format</translation>
    </message>
</context>
<context>
    <name>PortSettings</name>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>偶</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>奇</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>波特率不能为空</source>
        <translation>The baud rate is empty</translation>
    </message>
    <message>
        <source>波特率必须是正整数</source>
        <translation>The baud rate must be a positive whole number</translation>
    </message>
    <message>
        <source>波特率超出范围（%1～%2）</source>
        <translation>Baud rate out of range (%1 to %2)</translation>
    </message>
</context>
<context>
    <name>ReceiveFormatter</name>
    <message>
        <source>%1时%2分%3秒:</source>
        <translation>%1h%2m%3s:</translation>
    </message>
</context>
<context>
    <name>ResponseAnalysis</name>
    <message>
        <source>文件过大</source>
        <translation>file too large</translation>
    </message>
    <message>
        <source>运行记录无法读取：%1</source>
        <translation>Run history could not be read: %1</translation>
    </message>
    <message>
        <source>运行记录保存失败：%1</source>
        <translation>Run history could not be saved: %1</translation>
    </message>
</context>
<context>
    <name>RunControl</name>
    <message>
        <source>停止PID调试</source>
        <translation>PID run stopped</translation>
    </message>
    <message>
        <source>开始PID调试</source>
        <translation>PID run started</translation>
    </message>
    <message>
        <source>成功接收到开始指令，开始运行</source>
        <translation>Start command received, running</translation>
    </message>
    <message>
        <source>成功接收到停止指令，停止运行</source>
        <translation>Stop command received, stopped</translation>
    </message>
</context>
<context>
    <name>RunHistory</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Ch</translation>
    </message>
    <message>
        <source>目标值</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>上升时间</source>
        <translation>Rise</translation>
    </message>
    <message>
        <source>超调量</source>
        <translation>Overshoot</translation>
    </message>
    <message>
        <source>调节时间</source>
        <translation>Settling</translation>
    </message>
    <message>
        <source>稳态误差</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>不是运行记录</source>
        <translation>not a run history</translation>
    </message>
    <message>
        <source>第%1条记录已损坏</source>
        <translation>row %1 is damaged</translation>
    </message>
    <message>
        <source>这次运行时的参数未知：运行前按“读”读取板子的参数</source>
        <translation>The gains of this run are unknown: press Read before a run to read them from the board</translation>
    </message>
    <message>
        <source>这次阶跃期间生效的参数（写入或板子报告的值）；写入参数会结束该通道的阶跃</source>
        <translation>Gains in force during this step (written or reported by the board); writing a gain ends the channel&apos;s step</translation>
    </message>
    <message>
        <source>由去噪后的响应算出；点击表头排序</source>
        <translation>Computed from the smoothed response; click to sort</translation>
    </message>
    <message>
        <source>点击表头排序</source>
        <translation>Click to sort</translation>
    </message>
    <message>
        <source>括号内是写入的建议（%1）在模型上的预测值</source>
        <translation>In brackets: what the suggestion written (%1) predicted on the model</translation>
    </message>
    <message>
        <source>时间</source>
        <comment>full name</comment>
        <translation>Time</translation>
    </message>
    <message>
        <source>通道</source>
        <comment>full name</comment>
        <translation>Channel</translation>
    </message>
    <message>
        <source>比例系数 P</source>
        <comment>full name</comment>
        <translation>Proportional gain P</translation>
    </message>
    <message>
        <source>积分系数 I</source>
        <comment>full name</comment>
        <translation>Integral gain I</translation>
    </message>
    <message>
        <source>微分系数 D</source>
        <comment>full name</comment>
        <translation>Derivative gain D</translation>
    </message>
    <message>
        <source>目标值</source>
        <comment>full name</comment>
        <translation>Target</translation>
    </message>
    <message>
        <source>上升时间</source>
        <comment>full name</comment>
        <translation>Rise time</translation>
    </message>
    <message>
        <source>超调量</source>
        <comment>full name</comment>
        <translation>Overshoot</translation>
    </message>
    <message>
        <source>调节时间</source>
        <comment>full name</comment>
        <translation>Settling time</translation>
    </message>
    <message>
        <source>稳态误差</source>
        <comment>full name</comment>
        <translation>Steady-state error</translation>
    </message>
</context>
<context>
    <name>SafeFile</name>
    <message>
        <source>文件不存在</source>
        <translation>No such file</translation>
    </message>
    <message>
        <source>文件过大（超过%1 MB）</source>
        <translation>File too large (more than %1 MB)</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>文件未打开</source>
        <translation>File not open</translation>
    </message>
</context>
<context>
    <name>SampleFileReader</name>
    <message>
        <source>文件行数过多（超过%1行）</source>
        <translation>Too many lines (more than %1)</translation>
    </message>
</context>
<context>
    <name>SessionControls</name>
    <message>
        <source>已达%1点，图表已清空</source>
        <translation>Reached %1 samples, chart cleared</translation>
    </message>
    <message>
        <source>原始数据捕获…</source>
        <translation>Raw capture…</translation>
    </message>
    <message>
        <source>把串口收到的每个字节连同到达时间写入文件，可用 tavrino-boardsim --replay 回放</source>
        <translation>Write every byte received on the port with its arrival time to a file; tavrino-boardsim --replay plays it back</translation>
    </message>
</context>
<context>
    <name>SessionFiles</name>
    <message>
        <source>正在录制到 %1</source>
        <translation>Recording to %1</translation>
    </message>
    <message>
        <source>录制失败：%1</source>
        <translation>Recording failed: %1</translation>
    </message>
    <message>
        <source>录制已保存：%1（%2个样本）</source>
        <translation>Recording saved: %1 (%2 samples)</translation>
    </message>
    <message>
        <source>正在捕获到 %1</source>
        <translation>Capturing to %1</translation>
    </message>
    <message>
        <source>捕获失败：%1</source>
        <translation>Capture failed: %1</translation>
    </message>
    <message>
        <source>捕获已保存：%1（%2字节）</source>
        <translation>Capture saved: %1 (%2 bytes)</translation>
    </message>
    <message>
        <source>录制到文件</source>
        <translation>Record to file</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>原始数据捕获到文件</source>
        <translation>Capture raw data to file</translation>
    </message>
    <message>
        <source>捕获文件 (*.tvcap);;所有文件 (*)</source>
        <translation>Capture files (*.tvcap);;All files (*)</translation>
    </message>
    <message>
        <source>录制 %1 · %2</source>
        <translation>Recording %1 · %2</translation>
    </message>
    <message>
        <source>录制：%1（%2个样本）</source>
        <translation>Recording: %1 (%2 samples)</translation>
    </message>
    <message>
        <source>捕获 %1 · %2</source>
        <translation>Capture %1 · %2</translation>
    </message>
    <message>
        <source>原始数据捕获：%1</source>
        <translation>Raw capture: %1</translation>
    </message>
    <message>
        <source>正在写入的录制和原始数据捕获文件：大小和时长</source>
        <translation>Recording and raw capture being written: size and duration</translation>
    </message>
    <message>
        <source>录制失败</source>
        <translation>Recording failed</translation>
    </message>
    <message>
        <source>捕获失败</source>
        <translation>Capture failed</translation>
    </message>
</context>
<context>
    <name>StepAnalyzer</name>
    <message>
        <source>%1点</source>
        <translation>%1 pts</translation>
    </message>
</context>
<context>
    <name>StickyStatus</name>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>StoreExport</name>
    <message>
        <source>文件未打开</source>
        <translation>File not open</translation>
    </message>
    <message>
        <source>导出期间数据已变化</source>
        <translation>The data changed during the export</translation>
    </message>
    <message>
        <source>文件未写完</source>
        <translation>File not completely written</translation>
    </message>
</context>
<context>
    <name>TuningPanel</name>
    <message>
        <source>板子的PID按什么计时：积分和微分按秒（模拟板如此），或按采样（integral += e，D × (e − e上次)）</source>
        <translation>How the board times its PID: integral and derivative per second (as the simulated board), or per sample (integral += e, D × (e − previous e))</translation>
    </message>
    <message>
        <source>积分/微分按秒</source>
        <translation>I/D per second</translation>
    </message>
    <message>
        <source>积分/微分按采样</source>
        <translation>I/D per sample</translation>
    </message>
    <message>
        <source>微分作用于测量值</source>
        <translation>D on measurement</translation>
    </message>
    <message>
        <source>勾选：微分取测量值的变化（目标阶跃不引起微分冲击）；不勾：取误差的变化</source>
        <translation>Ticked: the derivative acts on the measurement (no kick at a target step); unticked: on the error</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>控制器输出的下限；上下限都空着表示不限幅</source>
        <translation>The controller output&apos;s minimum; both limits empty means no limits</translation>
    </message>
    <message>
        <source>至</source>
        <translation>to</translation>
    </message>
    <message>
        <source>控制器输出的上限；输出顶到限幅时积分保持不变</source>
        <translation>The controller output&apos;s maximum; while the output is pinned at a limit the integral holds</translation>
    </message>
    <message>
        <source>识别</source>
        <translation>Identify</translation>
    </message>
    <message>
        <source>用所选通道上一次结束的阶跃和当时的P、I、D，拟合一阶加纯滞后模型并给出三组建议</source>
        <translation>Fit a first-order-plus-dead-time model to the selected channel&apos;s last finished step with the P, I, D it ran with, and suggest three sets of gains</translation>
    </message>
    <message>
        <source>识别出的模型：静态增益、时间常数、纯滞后和拟合度（NRMSE），或不能识别的原因</source>
        <translation>The identified model: static gain, time constant, dead time and fit (NRMSE), or why there is none</translation>
    </message>
    <message>
        <source>三组建议及其在模型上的预测响应；选中一行，图上以点划线画出预测响应</source>
        <translation>Three suggestions and their predicted response on the model; select a row to draw its prediction on the chart, dash-dotted</translation>
    </message>
    <message>
        <source>写入建议</source>
        <translation>Write suggestion</translation>
    </message>
    <message>
        <source>把选中建议的P、I、D写入所选通道（与“写”相同，勾选写后校验时会读回校验）</source>
        <translation>Write the selected suggestion&apos;s P, I, D to the selected channel (as “W” does, read back when Verify writes is ticked)</translation>
    </message>
    <message>
        <source>增益</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>时间常数</source>
        <translation>Time constant</translation>
    </message>
    <message>
        <source>纯滞后</source>
        <translation>Dead time</translation>
    </message>
    <message>
        <source>拟合度</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>目标</source>
        <translation>Aim</translation>
    </message>
    <message>
        <source>上升时间</source>
        <translation>Rise time</translation>
    </message>
    <message>
        <source>超调量</source>
        <translation>Overshoot</translation>
    </message>
    <message>
        <source>调节时间</source>
        <translation>Settling time</translation>
    </message>
    <message>
        <source>输出下限必须小于上限</source>
        <translation>The output minimum must be below the maximum</translation>
    </message>
    <message>
        <source>正在识别……</source>
        <translation>Identifying…</translation>
    </message>
    <message>
        <source>无法识别：%1</source>
        <translation>Cannot identify: %1</translation>
    </message>
    <message>
        <source>没有建议：%1</source>
        <translation>No suggestions: %1</translation>
    </message>
    <message>
        <source>已识别：拟合度%1%</source>
        <translation>Identified: fit %1%</translation>
    </message>
    <message>
        <source>已写入建议（%1）</source>
        <translation>Suggestion written (%1)</translation>
    </message>
</context>
<context>
    <name>TuningRules</name>
    <message>
        <source>稳健</source>
        <translation>Robust</translation>
    </message>
    <message>
        <source>均衡</source>
        <translation>Balanced</translation>
    </message>
    <message>
        <source>快速</source>
        <translation>Fast</translation>
    </message>
    <message>
        <source>没有可用的模型</source>
        <translation>No usable model</translation>
    </message>
    <message>
        <source>对象增益为负：需要负的P、I、D，这里只给非负的建议</source>
        <translation>The plant&apos;s gain is negative: it needs negative P, I, D, and only non-negative gains are suggested</translation>
    </message>
    <message>
        <source>没有阶跃可预测</source>
        <translation>No step to predict</translation>
    </message>
    <message>
        <source>找不到满足要求的增益</source>
        <translation>No gains meet the constraints</translation>
    </message>
</context>
</TS>
