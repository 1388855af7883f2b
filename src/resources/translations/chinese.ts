<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>BoxEditDialog</name>
    <message>
        <source>Last transfer: %1</source>
        <translation>上次传输：%1</translation>
    </message>
    <message>
        <source>Reboot</source>
        <translation>重新启动</translation>
    </message>
    <message>
        <source>Reboot the box %1? It stops polling its devices until it has started again.</source>
        <translation>重新启动盒子 %1？在它重新启动完成之前，它将停止采集其设备。</translation>
    </message>
    <message>
        <source>Send the program file %1 to the box %2? The box installs it and restarts.</source>
        <translation>将程序文件 %1 发送到盒子 %2？盒子将安装它并重新启动。</translation>
    </message>
    <message>
        <source>Cancel transfer</source>
        <translation>取消传输</translation>
    </message>
    <message>
        <source>This box belongs to no open project; nothing was sent.</source>
        <translation>此Box不属于任何已打开的工程，未发送任何内容。</translation>
    </message>
    <message>
        <source>The file could not be written completely; the disk may be full.</source>
        <translation>文件未能完整写入，磁盘可能已满。</translation>
    </message>
    <message>
        <source>Could not write the deployment copy %1: %2</source>
        <translation>无法写入部署副本 %1：%2</translation>
    </message>
    <message>
        <source>Transfer Running</source>
        <translation>传输进行中</translation>
    </message>
    <message>
        <source>A transfer to the box is still running. Cancel it?</source>
        <translation>向Box的传输仍在进行。是否取消？</translation>
    </message>
    <message>
        <source>Invalid Input</source>
        <translation>输入无效</translation>
    </message>
    <message>
        <source>%1 tab: the field "%2" is incomplete or not valid. Nothing was sent to the box.</source>
        <translation>%1 页：字段“%2”不完整或无效。未向Box发送任何内容。</translation>
    </message>
    <message>
        <source>WiFi</source>
        <translation>WiFi</translation>
    </message>
    <message>
        <source>4G</source>
        <translation>4G</translation>
    </message>
    <message>
        <source>Edit Box</source>
        <translation>编辑Box</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>开</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>关</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP：</translation>
    </message>
    <message>
        <source>Commonly</source>
        <translation>常用</translation>
    </message>
    <message>
        <source>LAN</source>
        <translation>LAN</translation>
    </message>
    <message>
        <source>WAN</source>
        <translation>WAN</translation>
    </message>
    <message>
        <source>NTP</source>
        <translation>NTP</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开连接</translation>
    </message>
    <message>
        <source>Connection status: connecting..</source>
        <translation>连接状态：正在连接..</translation>
    </message>
    <message>
        <source>Program version: 0.0.0</source>
        <translation>程序版本：0.0.0</translation>
    </message>
    <message>
        <source>Update project</source>
        <translation>更新项目</translation>
    </message>
    <message>
        <source>Update program</source>
        <translation>更新程序</translation>
    </message>
    <message>
        <source>Progress:</source>
        <translation>进度：</translation>
    </message>
    <message>
        <source>Reboot Device</source>
        <translation>重新启动设备</translation>
    </message>
    <message>
        <source>Mask:</source>
        <translation>子网掩码：</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>网关：</translation>
    </message>
    <message>
        <source>Dns1:</source>
        <translation>Dns1：</translation>
    </message>
    <message>
        <source>Dns2:</source>
        <translation>Dns2：</translation>
    </message>
    <message>
        <source>Dhcp:</source>
        <translation>Dhcp：</translation>
    </message>
    <message>
        <source>NTP Server:</source>
        <translation>NTP服务器：</translation>
    </message>
    <message>
        <source>Local Time:</source>
        <translation>本地时间：</translation>
    </message>
    <message>
        <source>Box Time:</source>
        <translation>Box时间：</translation>
    </message>
    <message>
        <source>wifiOnOff:</source>
        <translation>WiFi开关：</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>模式：</translation>
    </message>
    <message>
        <source>SSID:</source>
        <translation>SSID：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>4G:</source>
        <translation>4G：</translation>
    </message>
    <message>
        <source>AT%1:</source>
        <translation>AT%1：</translation>
    </message>
    <message>
        <source>The box '%1' is saved successfully.</source>
        <translation>Box“%1”保存成功。</translation>
    </message>
    <message>
        <source>Program version: </source>
        <translation>程序版本：</translation>
    </message>
    <message>
        <source>!!!No communication for 30 seconds. Connection may be lost.!!!</source>
        <translation>！！！已有30秒没有通信，连接可能已断开。！！！</translation>
    </message>
    <message>
        <source>Binding Failed</source>
        <translation>绑定失败</translation>
    </message>
    <message>
        <source>Connection status: Not connected</source>
        <translation>连接状态：未连接</translation>
    </message>
    <message>
        <source>Select Host Address</source>
        <translation>选择主机地址</translation>
    </message>
    <message>
        <source>Please select the host address:</source>
        <translation>请选择主机地址：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Selected address: 0.0.0.0 (No binding)</source>
        <translation>已选地址：0.0.0.0（不绑定）</translation>
    </message>
    <message>
        <source>Selected host address: %1</source>
        <translation>已选主机地址：%1</translation>
    </message>
    <message>
        <source>LAN Configuration</source>
        <translation>LAN配置</translation>
    </message>
    <message>
        <source>LAN configuration updated successfully.</source>
        <translation>LAN配置更新成功。</translation>
    </message>
    <message>
        <source>Wan Configuration</source>
        <translation>WAN配置</translation>
    </message>
    <message>
        <source>Wan configuration updated successfully.</source>
        <translation>WAN配置更新成功。</translation>
    </message>
    <message>
        <source>Wifi Configuration</source>
        <translation>WiFi配置</translation>
    </message>
    <message>
        <source>Wifi configuration updated successfully.</source>
        <translation>WiFi配置更新成功。</translation>
    </message>
    <message>
        <source>Lte Configuration</source>
        <translation>LTE配置</translation>
    </message>
    <message>
        <source>Lte configuration updated successfully.</source>
        <translation>LTE配置更新成功。</translation>
    </message>
    <message>
        <source>NTP Configuration</source>
        <translation>NTP配置</translation>
    </message>
    <message>
        <source>NTP configuration updated successfully.</source>
        <translation>NTP配置更新成功。</translation>
    </message>
    <message>
        <source>time Configuration</source>
        <translation>时间配置</translation>
    </message>
    <message>
        <source>time configuration updated successfully.</source>
        <translation>时间配置更新成功。</translation>
    </message>
    <message>
        <source>Select Program File</source>
        <translation>选择程序文件</translation>
    </message>
    <message>
        <source>Program Files (*.bin);;All Files (*.*)</source>
        <translation>程序文件 (*.bin);;所有文件 (*.*)</translation>
    </message>
    <message>
        <source>Box %1: %2</source>
        <translation>盒子 %1：%2</translation>
    </message>
    <message>
        <source>The IP address &quot;%1&quot; is not four decimal parts from 0 to 255 without leading zeros; nothing was sent.</source>
        <translation>IP 地址“%1”不是四段 0 到 255 之间且不以 0 开头的十进制数；未发送任何内容。</translation>
    </message>
</context>
<context>
    <name>BoxInputDialog</name>
    <message>
        <source>Invalid Input</source>
        <translation>输入无效</translation>
    </message>
    <message>
        <source>The IP address "%1" is incomplete or not valid.</source>
        <translation>IP地址“%1”不完整或无效。</translation>
    </message>
    <message>
        <source>Add Box</source>
        <translation>添加Box</translation>
    </message>
    <message>
        <source>Box Name:</source>
        <translation>Box名称：</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP地址：</translation>
    </message>
    <message>
        <source>Model:</source>
        <translation>型号：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>BoxSearchDialog</name>
    <message>
        <source>Search Box</source>
        <translation>搜索设备</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>No Devices Found</source>
        <translation>未找到设备</translation>
    </message>
    <message>
        <source>No devices were found during the search.</source>
        <translation>搜索期间未找到任何设备。</translation>
    </message>
    <message>
        <source>Add to project</source>
        <translation>添加到项目</translation>
    </message>
    <message>
        <source>Search Failed</source>
        <translation>搜索失败</translation>
    </message>
    <message>
        <source>Could not send the search request: %1</source>
        <translation>无法发送搜索请求：%1</translation>
    </message>
    <message>
        <source>binding %1 (%2) failed: %3</source>
        <translation>绑定 %1 (%2) 失败：%3</translation>
    </message>
    <message>
        <source>sending from %1 (%2) failed: %3</source>
        <translation>从 %1 (%2) 发送失败：%3</translation>
    </message>
    <message>
        <source>Search Box: local port %1 on %2 (%3) could not be bound (%4), so the search runs without it, from ports the system chooses. To grant the port on Linux: sudo setcap cap_net_bind_service=+ep %5</source>
        <translation>搜索设备：无法绑定 %2 (%3) 上的本地端口 %1（%4），搜索改用系统选择的端口进行。在 Linux 上授予该端口权限：sudo setcap cap_net_bind_service=+ep %5</translation>
    </message>
</context>
<context>
    <name>CMainWindow</name>
    <message>
        <source>Bus scan...</source>
        <translation>总线扫描...</translation>
    </message>
    <message>
        <source>The project of this scan is no longer open.</source>
        <translation>此次扫描所属的项目已不再打开。</translation>
    </message>
    <message>
        <source>The Standard Modbus &apos;%1&apos; was added for station %2 (%3).</source>
        <translation>已为站号 %2 添加标准 Modbus 设备“%1”（%3）。</translation>
    </message>
    <message>
        <source>Templates...</source>
        <translation>模板...</translation>
    </message>
    <message>
        <source>Devices added from the template &apos;%1&apos;: %2.</source>
        <translation>已从模板“%1”添加设备：%2 台。</translation>
    </message>
    <message>
        <source>Add from Template...</source>
        <translation>从模板添加...</translation>
    </message>
    <message>
        <source>Transfers to %1 boxes are still running. Cancel them?</source>
        <translation>到 %1 个盒子的传输仍在进行。要取消它们吗？</translation>
    </message>
    <message>
        <source>Boxes...</source>
        <translation>设备列表...</translation>
    </message>
    <message>
        <source>Check Project</source>
        <translation>检查项目</translation>
    </message>
    <message>
        <source>Show Trend</source>
        <translation>显示趋势</translation>
    </message>
    <message>
        <source>Show Trend in a New Chart</source>
        <translation>在新图表中显示趋势</translation>
    </message>
    <message>
        <source>Recording stopped: the database could not be written (%1).</source>
        <translation>记录已停止：无法写入数据库（%1）。</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>Record every received value into a database file</source>
        <translation>将收到的每个值记录到数据库文件</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>No current data from this device</source>
        <translation>此设备没有最新数据</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>The recording database &apos;%1&apos; could not be opened: %2</source>
        <translation>无法打开记录数据库“%1”：%2</translation>
    </message>
    <message>
        <source>Recording live data into &apos;%1&apos;.</source>
        <translation>正在将实时数据记录到“%1”。</translation>
    </message>
    <message>
        <source>Recording stopped.</source>
        <translation>记录已停止。</translation>
    </message>
    <message>
        <source>%1 received reports could not be written to the recording: another program kept the database locked.</source>
        <translation>%1 条已接收的报告未能写入记录：另一个程序一直锁定着数据库。</translation>
    </message>
    <message>
        <source>Recording database</source>
        <translation>记录数据库</translation>
    </message>
    <message>
        <source>SQLite database (*.sqlite *.db)</source>
        <translation>SQLite 数据库 (*.sqlite *.db)</translation>
    </message>
    <message>
        <source>nothing has been recorded yet</source>
        <translation>尚未记录任何数据</translation>
    </message>
    <message>
        <source>Recording exported to &apos;%1&apos;.</source>
        <translation>记录已导出到“%1”。</translation>
    </message>
    <message>
        <source>The recording could not be exported: %1</source>
        <translation>无法导出记录：%1</translation>
    </message>
    <message>
        <source>Received from:</source>
        <translation>接收时间从：</translation>
    </message>
    <message>
        <source>Received until:</source>
        <translation>接收时间至：</translation>
    </message>
    <message>
        <source>The recording begins at %1, after the start of the chosen range. Export the recorded range from %1 to %2?</source>
        <translation>记录开始于 %1，晚于所选范围的开始。是否导出已记录的范围（%1 至 %2）？</translation>
    </message>
    <message>
        <source>nothing was recorded between %1 and %2; the recording holds %3 to %4</source>
        <translation>%1 至 %2 之间没有记录任何数据；记录包含 %3 至 %4 的数据</translation>
    </message>
    <message>
        <source>the range ends before it begins</source>
        <translation>范围的结束早于其开始</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Save Changes</source>
        <translation>保存更改</translation>
    </message>
    <message>
        <source>Do you want to save all projects before closing them?</source>
        <translation>关闭前是否保存所有项目？</translation>
    </message>
    <message>
        <source>Edit Project</source>
        <translation>编辑项目</translation>
    </message>
    <message>
        <source>Close Project</source>
        <translation>关闭项目</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>保存项目</translation>
    </message>
    <message>
        <source>Add Standard</source>
        <translation>添加Standard</translation>
    </message>
    <message>
        <source>Add Box</source>
        <translation>添加Box</translation>
    </message>
    <message>
        <source>Search Box</source>
        <translation>搜索设备</translation>
    </message>
    <message>
        <source>Delete All</source>
        <translation>删除全部</translation>
    </message>
    <message>
        <source>Editing Standard</source>
        <translation>编辑Standard</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Editing Service</source>
        <translation>编辑Service</translation>
    </message>
    <message>
        <source>Editing Box</source>
        <translation>编辑Box</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Addr</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>DataType</source>
        <translation>数据类型</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Valid</source>
        <translation>有效性</translation>
    </message>
    <message>
        <source>Update Time</source>
        <translation>更新时间</translation>
    </message>
    <message>
        <source>Effective</source>
        <translation>有效</translation>
    </message>
    <message>
        <source>Stale</source>
        <translation>过时</translation>
    </message>
    <message>
        <source>Invalid</source>
        <translation>无效</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Save Failed</source>
        <translation>保存失败</translation>
    </message>
    <message>
        <source>Could not save the project to file:
%1
%2</source>
        <translation>无法将项目保存到文件：
%1
%2</translation>
    </message>
    <message>
        <source>Save Successful</source>
        <translation>保存成功</translation>
    </message>
    <message>
        <source>JSON data saved to file:
%1</source>
        <translation>JSON数据已保存到文件：
%1</translation>
    </message>
    <message>
        <source>Not saved yet: no file holds this project.</source>
        <translation>尚未保存：没有文件保存此项目。</translation>
    </message>
    <message>
        <source>Changed since the last save: %1 does not hold these changes.</source>
        <translation>自上次保存后已更改：%1 中没有这些更改。</translation>
    </message>
    <message>
        <source>Open JSON File</source>
        <translation>打开JSON文件</translation>
    </message>
    <message>
        <source>JSON Files (*.json)</source>
        <translation>JSON文件 (*.json)</translation>
    </message>
    <message>
        <source>Load Failed</source>
        <translation>加载失败</translation>
    </message>
    <message>
        <source>Could not load the project file:
%1
%2</source>
        <translation>无法加载项目文件：
%1
%2</translation>
    </message>
    <message>
        <source>The file does not hold a JSON object.</source>
        <translation>该文件不包含JSON对象。</translation>
    </message>
    <message>
        <source>Load Successful</source>
        <translation>加载成功</translation>
    </message>
    <message>
        <source>JSON data loaded from file:
%1</source>
        <translation>已从文件加载JSON数据：
%1</translation>
    </message>
    <message>
        <source>invalid name</source>
        <translation>名称无效</translation>
    </message>
    <message>
        <source>Name cannot be null</source>
        <translation>名称不能为空</translation>
    </message>
    <message>
        <source>error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Unable to find parent directory</source>
        <translation>无法找到上级目录</translation>
    </message>
    <message>
        <source>Duplicate name</source>
        <translation>名称重复</translation>
    </message>
    <message>
        <source>The name"%1"already exists, please change the name.</source>
        <translation>名称“%1”已存在，请更换名称。</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>A project with the same name already exists in the selected directory. Please use a different name.</source>
        <translation>所选目录中已存在同名项目。请使用其他名称。</translation>
    </message>
    <message>
        <source>A project with the same name already exists. Please use a different name.</source>
        <translation>已存在同名项目。请使用其他名称。</translation>
    </message>
    <message>
        <source>The Project '%1' is saved successfully.</source>
        <translation>项目“%1”保存成功。</translation>
    </message>
    <message>
        <source>Do you want to save changes before deleting the project?</source>
        <translation>删除项目之前是否保存更改？</translation>
    </message>
    <message>
        <source>standard Name cannot be empty.</source>
        <translation>Standard名称不能为空。</translation>
    </message>
    <message>
        <source>A standard file with the same name already exists in PLC or Standard folder. Please use a different name.</source>
        <translation>PLC或Standard文件夹中已存在同名的Standard文件。请使用其他名称。</translation>
    </message>
    <message>
        <source>Box Name cannot be empty.</source>
        <translation>Box名称不能为空。</translation>
    </message>
    <message>
        <source>The project this search was opened for is no longer open; the box was not added.</source>
        <translation>打开此搜索的项目已关闭，未添加该设备。</translation>
    </message>
    <message>
        <source>A box file with the same name already exists in this folder. Please use a different name.</source>
        <translation>此文件夹中已存在同名的Box文件。请使用其他名称。</translation>
    </message>
    <message>
        <source>The data '%1' has been deleted, and the Box connection has been disconnected.</source>
        <translation>数据“%1”已删除，Box连接已断开。</translation>
    </message>
    <message>
        <source>All data files have been deleted, and the Box connection has been disconnected.</source>
        <translation>所有数据文件已删除，Box连接已断开。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; in %2</source>
        <translation>%2 中的“%1”</translation>
    </message>
    <message>
        <source>More than one item of a folder has the same name: %1. Give each item a name of its own.</source>
        <translation>同一文件夹中有多个同名条目：%1。请为每个条目取一个不同的名称。</translation>
    </message>
</context>
<context>
    <name>EditProjectDialog</name>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>Path:</source>
        <translation>路径：</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>描述：</translation>
    </message>
</context>
<context>
    <name>FileTransfer</name>
    <message>
        <source>Connection lost before the checksum result.</source>
        <translation>在收到校验结果之前连接已断开。</translation>
    </message>
    <message>
        <source>Checksum Result:Connection lost before the checksum result.</source>
        <translation>校验结果：在收到校验结果之前连接已断开。</translation>
    </message>
    <message>
        <source>Update Status:Could not read the file: %1</source>
        <translation>更新状态：无法读取文件：%1</translation>
    </message>
    <message>
        <source>Failed to bind to the local address.</source>
        <translation>绑定本地地址失败。</translation>
    </message>
    <message>
        <source>Failed to connect to server.</source>
        <translation>连接服务器失败。</translation>
    </message>
    <message>
        <source>Not connected to server.</source>
        <translation>未连接到服务器。</translation>
    </message>
    <message>
        <source>The box took no data; transfer stopped.</source>
        <translation>Box未接收数据，传输已停止。</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>Unrecognised reply.</source>
        <translation>无法识别的应答。</translation>
    </message>
    <message>
        <source>Command type error.</source>
        <translation>命令类型错误。</translation>
    </message>
    <message>
        <source>Verification data return value error.</source>
        <translation>校验数据返回值错误。</translation>
    </message>
    <message>
        <source>Checksum failed.</source>
        <translation>校验失败。</translation>
    </message>
    <message>
        <source>Checksum successful.</source>
        <translation>校验成功。</translation>
    </message>
    <message>
        <source>Update Status:Program update cancelled, not completed.</source>
        <translation>更新状态：程序更新已取消，未完成。</translation>
    </message>
    <message>
        <source>Update Status:Project deployment cancelled, not completed.</source>
        <translation>更新状态：项目部署已取消，未完成。</translation>
    </message>
    <message>
        <source>Connection Status:The box took no data for %1 seconds; transfer stopped.</source>
        <translation>连接状态：Box在 %1 秒内未接收任何数据，传输已停止。</translation>
    </message>
    <message>
        <source>Binding Status: Failed to bind to %1</source>
        <translation>绑定状态：绑定到%1失败</translation>
    </message>
    <message>
        <source>Connection Status:Failed to connect to server for program update.</source>
        <translation>连接状态：为更新程序连接服务器失败。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Failed to open program file.</source>
        <translation>打开程序文件失败。</translation>
    </message>
    <message>
        <source>Connection Status:Not connected to server.</source>
        <translation>连接状态：未连接到服务器。</translation>
    </message>
    <message>
        <source>Failed to open program file for checksum.</source>
        <translation>打开程序文件进行校验失败。</translation>
    </message>
    <message>
        <source>Timeout</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>Timeout while waiting for checksum result.</source>
        <translation>等待校验结果超时。</translation>
    </message>
    <message>
        <source>Timeout:Timeout while waiting for checksum result.</source>
        <translation>超时：等待校验结果超时。</translation>
    </message>
    <message>
        <source>Checksum Result:Command type error.</source>
        <translation>校验结果：命令类型错误。</translation>
    </message>
    <message>
        <source>Checksum Result:Verification data return value error.</source>
        <translation>校验结果：校验数据返回值错误。</translation>
    </message>
    <message>
        <source>Checksum Result:Checksum failed.</source>
        <translation>校验结果：校验失败。</translation>
    </message>
    <message>
        <source>Checksum Result:Checksum successful.</source>
        <translation>校验结果：校验成功。</translation>
    </message>
</context>
<context>
    <name>LogoWindow</name>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>版本 %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>View</source>
        <translation>视图</translation>
    </message>
    <message>
        <source>window</source>
        <translation>窗口</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>工具栏</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>新建项目</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>加载项目</translation>
    </message>
    <message>
        <source>Save All Project</source>
        <translation>保存全部项目</translation>
    </message>
    <message>
        <source>Save State</source>
        <translation>保存状态</translation>
    </message>
    <message>
        <source>Restore State</source>
        <translation>恢复状态</translation>
    </message>
</context>
<context>
    <name>ModbusStatus</name>
    <message>
        <source>timeout</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>connection error</source>
        <translation>连接错误</translation>
    </message>
    <message>
        <source>wrong reply</source>
        <translation>错误应答</translation>
    </message>
    <message>
        <source>CRC error</source>
        <translation>CRC 校验错误</translation>
    </message>
    <message>
        <source>busy</source>
        <translation>忙</translation>
    </message>
    <message>
        <source>read-only point</source>
        <translation>只读点</translation>
    </message>
    <message>
        <source>address error</source>
        <translation>地址错误</translation>
    </message>
    <message>
        <source>type error</source>
        <translation>类型错误</translation>
    </message>
    <message>
        <source>station error</source>
        <translation>站号错误</translation>
    </message>
    <message>
        <source>exception %1</source>
        <translation>异常 %1</translation>
    </message>
</context>
<context>
    <name>RegisterDiscoveryDialog</name>
    <message>
        <source>Discover registers: %1</source>
        <translation>寄存器探测：%1</translation>
    </message>
    <message>
        <source>Connection:</source>
        <translation>连接：</translation>
    </message>
    <message>
        <source>Station Num:</source>
        <translation>站号：</translation>
    </message>
    <message>
        <source>Holding registers</source>
        <translation>保持寄存器</translation>
    </message>
    <message>
        <source>Input registers</source>
        <translation>输入寄存器</translation>
    </message>
    <message>
        <source>Coils</source>
        <translation>线圈</translation>
    </message>
    <message>
        <source>Discrete inputs</source>
        <translation>离散输入</translation>
    </message>
    <message>
        <source>Table:</source>
        <translation>寄存器表：</translation>
    </message>
    <message>
        <source>to</source>
        <translation>至</translation>
    </message>
    <message>
        <source>Addresses (from 0):</source>
        <translation>地址（从 0 起）：</translation>
    </message>
    <message>
        <source>Discover</source>
        <translation>探测</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Registers</source>
        <translation>寄存器</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>通信报文</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Add as points</source>
        <translation>添加为数据点</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>类型：</translation>
    </message>
    <message>
        <source>Byte Order:</source>
        <translation>字节序：</translation>
    </message>
    <message>
        <source>The tab&apos;s station number is not one a slave can have (1 to 247): correct it in the tab and open this window again.</source>
        <translation>该标签页的站号不是从站可用的站号（1 至 247）：请在标签页中修改后重新打开此窗口。</translation>
    </message>
    <message>
        <source>The first address must not lie after the last.</source>
        <translation>起始地址不能大于结束地址。</translation>
    </message>
    <message>
        <source>Choose the serial device to read through.</source>
        <translation>请选择用于读取的串口设备。</translation>
    </message>
    <message>
        <source>Discovering...</source>
        <translation>正在探测...</translation>
    </message>
    <message>
        <source>Discovery could not start.</source>
        <translation>寄存器探测无法开始。</translation>
    </message>
    <message>
        <source>No readable address found.</source>
        <translation>未找到可读取的地址。</translation>
    </message>
    <message>
        <source>Readable: %1</source>
        <translation>可读取：%1</translation>
    </message>
    <message>
        <source>Requests: %1</source>
        <translation>请求数：%1</translation>
    </message>
    <message>
        <source>Select the registers to add first.</source>
        <translation>请先选择要添加的寄存器。</translation>
    </message>
    <message>
        <source>The slave tab this window was opened for is gone: no point was added.</source>
        <translation>打开此窗口时所在的从站标签页已不存在：未添加任何数据点。</translation>
    </message>
    <message>
        <source>The tab reads its points in byte order %1, the chosen order is %2. Change the tab&apos;s byte order to %2? It applies to every point of the tab.</source>
        <translation>该标签页按字节序 %1 读取其数据点，所选字节序为 %2。要将该标签页的字节序改为 %2 吗？这将作用于该标签页的所有数据点。</translation>
    </message>
    <message>
        <source>Points added: %1.</source>
        <translation>已添加数据点：%1 个。</translation>
    </message>
    <message>
        <source>Left out (the type needs registers after them that were not read): %1</source>
        <translation>未添加（该类型需要其后未读取到的寄存器）：%1</translation>
    </message>
</context>
<context>
    <name>ModbusTestReadDialog</name>
    <message>
        <source>Points</source>
        <translation>数据点</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>通信报文</translation>
    </message>
    <message>
        <source>connection refused by %1</source>
        <translation>%1 拒绝连接</translation>
    </message>
    <message>
        <source>no connection to %1 within %2 ms</source>
        <translation>%2 毫秒内未能连接到 %1</translation>
    </message>
    <message>
        <source>connection to %1 dropped</source>
        <translation>与 %1 的连接已断开</translation>
    </message>
    <message>
        <source>%1 is not a usable IPv4 address</source>
        <translation>%1 不是可用的 IPv4 地址</translation>
    </message>
    <message>
        <source>serial device %1 not usable: %2</source>
        <translation>串口设备 %1 不可用：%2</translation>
    </message>
    <message>
        <source>Test Read: %1</source>
        <translation>测试读取：%1</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>设备：</translation>
    </message>
    <message>
        <source>Connection:</source>
        <translation>连接：</translation>
    </message>
    <message>
        <source>ModbusTCP %1:%2, connection time-out %3 ms</source>
        <translation>ModbusTCP %1:%2，连接超时 %3 毫秒</translation>
    </message>
    <message>
        <source>Serial device:</source>
        <translation>串口设备：</translation>
    </message>
    <message>
        <source>Line:</source>
        <translation>线路：</translation>
    </message>
    <message>
        <source>%1 baud, %2 data bits, %3 stop bits, parity %4</source>
        <translation>%1 波特，%2 数据位，%3 停止位，校验 %4</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is the box&apos;s name for its port: choose the serial device of this PC. A serial line allows one master, so the box must not poll this line while you test it.</source>
        <translation>“%1”是盒子上的端口名称：请选择本电脑的串口设备。一条串行线路只允许一个主站，因此测试期间盒子不得轮询这条线路。</translation>
    </message>
    <message>
        <source>Station Num:</source>
        <translation>站号：</translation>
    </message>
    <message>
        <source>Communication time-out:</source>
        <translation>通信超时：</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Registers (hex)</source>
        <translation>寄存器（十六进制）</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>循环读取</translation>
    </message>
    <message>
        <source>Value to write</source>
        <translation>要写入的值</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Test Read</source>
        <translation>测试读取</translation>
    </message>
    <message>
        <source>Choose the serial device to read through.</source>
        <translation>请选择用于读取的串口设备。</translation>
    </message>
    <message>
        <source>Reading...</source>
        <translation>正在读取...</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Read at %1: %2 of %3 points failed.</source>
        <translation>%1 读取：%3 个点中 %2 个失败。</translation>
    </message>
    <message>
        <source>The point &quot;%1&quot; cannot be written.</source>
        <translation>点“%1”不可写入。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no value for the %2 point &quot;%3&quot;.</source>
        <translation>“%1”不是 %2 类型点“%3”的有效值。</translation>
    </message>
    <message>
        <source>Write %1 to the point &quot;%2&quot; (address %3) of the device &quot;%4&quot;, station %5?</source>
        <translation>将 %1 写入设备“%4”（站号 %5）的点“%2”（地址 %3）？</translation>
    </message>
    <message>
        <source>A read is running; write again when it has finished.</source>
        <translation>正在读取；请在读取结束后再写入。</translation>
    </message>
    <message>
        <source>Writing failed: %1</source>
        <translation>写入失败：%1</translation>
    </message>
    <message>
        <source>Wrote %1 to &quot;%2&quot;.</source>
        <translation>已将 %1 写入“%2”。</translation>
    </message>
    <message>
        <source>Writing...</source>
        <translation>正在写入...</translation>
    </message>
</context>
<context>
    <name>NewProjectDialog</name>
    <message>
        <source>New Project</source>
        <translation>新建项目</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>Path:</source>
        <translation>路径：</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>浏览</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>描述：</translation>
    </message>
    <message>
        <source>Select Directory</source>
        <translation>选择目录</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Name and Path cannot be empty.</source>
        <translation>名称和路径不能为空。</translation>
    </message>
</context>
<context>
    <name>ProjectFileIo</name>
    <message>
        <source>it holds more than %1 MiB</source>
        <translation>文件大于 %1 MiB</translation>
    </message>
    <message>
        <source>it is a directory</source>
        <translation>这是一个目录</translation>
    </message>
    <message>
        <source>it did not end within %1 s</source>
        <translation>未在 %1 秒内结束</translation>
    </message>
    <message>
        <source>The file could not be written completely; the disk may be full.</source>
        <translation>文件未能完整写入；磁盘可能已满。</translation>
    </message>
</context>
<context>
    <name>ProjectNameCheck</name>
    <message>
        <source>The project name &quot;%1&quot; cannot be used as a file name: it must not contain &quot;/&quot; or &quot;\&quot;, be &quot;.&quot; or &quot;..&quot;, or hold control characters.</source>
        <translation>项目名称“%1”不能用作文件名：不能包含“/”或“\”，不能是“.”或“..”，也不能含有控制字符。</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The project has no name; a project file is named after its project.</source>
        <translation>项目没有名称；项目文件以项目名称命名。</translation>
    </message>
</context>
<context>
    <name>Protocol</name>
    <message>
        <source>Failed to bind to IP address: %1</source>
        <translation>绑定IP地址失败：%1</translation>
    </message>
    <message>
        <source>Connection status: connecting..</source>
        <translation>连接状态：正在连接..</translation>
    </message>
    <message>
        <source>Connection status: Waiting for connection.</source>
        <translation>连接状态：等待连接。</translation>
    </message>
    <message>
        <source>Connection status: Reconnecting...</source>
        <translation>连接状态：正在重新连接...</translation>
    </message>
    <message>
        <source>Not connected to server.</source>
        <translation>未连接到服务器。</translation>
    </message>
    <message>
        <source>Connection status: Disconnected</source>
        <translation>连接状态：已断开</translation>
    </message>
    <message>
        <source>Connection status: Not connected to server.</source>
        <translation>连接状态：未连接到服务器。</translation>
    </message>
    <message>
        <source>Connection status: Connected</source>
        <translation>连接状态：已连接</translation>
    </message>
    <message>
        <source>Write Restart Allocation</source>
        <translation>写入重启配置</translation>
    </message>
    <message>
        <source>Restart allocation write successful.</source>
        <translation>重启配置写入成功。</translation>
    </message>
    <message>
        <source>Restart allocation write failed. Error code: </source>
        <translation>重启配置写入失败。错误代码：</translation>
    </message>
    <message>
        <source>Write LAN Allocation</source>
        <translation>写入LAN配置</translation>
    </message>
    <message>
        <source>LAN allocation write successful.</source>
        <translation>LAN配置写入成功。</translation>
    </message>
    <message>
        <source>LAN allocation write failed. Error code: </source>
        <translation>LAN配置写入失败。错误代码：</translation>
    </message>
    <message>
        <source>Write WAN Allocation</source>
        <translation>写入WAN配置</translation>
    </message>
    <message>
        <source>WAN allocation write successful.</source>
        <translation>WAN配置写入成功。</translation>
    </message>
    <message>
        <source>WAN allocation write failed. Error code: </source>
        <translation>WAN配置写入失败。错误代码：</translation>
    </message>
    <message>
        <source>Write WIFI Allocation</source>
        <translation>写入WIFI配置</translation>
    </message>
    <message>
        <source>WIFI allocation write successful.</source>
        <translation>WIFI配置写入成功。</translation>
    </message>
    <message>
        <source>WIFI allocation write failed. Error code: </source>
        <translation>WIFI配置写入失败。错误代码：</translation>
    </message>
    <message>
        <source>Write LTE Allocation</source>
        <translation>写入LTE配置</translation>
    </message>
    <message>
        <source>LTE allocation write successful.</source>
        <translation>LTE配置写入成功。</translation>
    </message>
    <message>
        <source>LTE allocation write failed. Error code: </source>
        <translation>LTE配置写入失败。错误代码：</translation>
    </message>
    <message>
        <source>Write NTP Allocation</source>
        <translation>写入NTP配置</translation>
    </message>
    <message>
        <source>NTP allocation write successful.</source>
        <translation>NTP配置写入成功。</translation>
    </message>
    <message>
        <source>NTP allocation write failed. Error code: </source>
        <translation>NTP配置写入失败。错误代码：</translation>
    </message>
    <message>
        <source>Write time Allocation</source>
        <translation>写入时间配置</translation>
    </message>
    <message>
        <source>time allocation write successful.</source>
        <translation>时间配置写入成功。</translation>
    </message>
    <message>
        <source>time allocation write failed. Error code: </source>
        <translation>时间配置写入失败。错误代码：</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>被拒绝</translation>
    </message>
    <message>
        <source>host unreachable</source>
        <translation>主机不可达</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>connection failed</source>
        <translation>连接失败</translation>
    </message>
    <message>
        <source>timed out (no answer within %1 s)</source>
        <translation>超时（%1 秒内无应答）</translation>
    </message>
    <message>
        <source>link lost</source>
        <translation>连接中断</translation>
    </message>
    <message>
        <source>Connection status: %1</source>
        <translation>连接状态：%1</translation>
    </message>
    <message>
        <source>Connection status: %1, retrying, attempt %2</source>
        <translation>连接状态：%1，正在重试，第 %2 次</translation>
    </message>
    <message>
        <source>Connection status: %1, gave up after %2 retries; press Connect to try again</source>
        <translation>连接状态：%1，重试 %2 次后已放弃；请点击“连接”重试</translation>
    </message>
    <message>
        <source>Connection status: &quot;%1&quot; is not a valid IPv4 address</source>
        <translation>连接状态：“%1”不是有效的 IPv4 地址</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Data monitoring</source>
        <translation>数据监控</translation>
    </message>
    <message>
        <source>Project</source>
        <translation>项目</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>Clear Editor</source>
        <translation>清除编辑器</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>消息</translation>
    </message>
    <message>
        <source>Edit Project</source>
        <translation>编辑项目</translation>
    </message>
    <message>
        <source>Edit Box</source>
        <translation>编辑Box</translation>
    </message>
    <message>
        <source>Edit Standard</source>
        <translation>编辑Standard</translation>
    </message>
    <message>
        <source>Edit Service</source>
        <translation>编辑Service</translation>
    </message>
    <message>
        <source>Project Name</source>
        <translation>项目名称</translation>
    </message>
    <message>
        <source>Positive active power rate of 4 electric energy</source>
        <translation>正向有功费率4电能</translation>
    </message>
    <message>
        <source>Positive active power rate of 3 electric energy</source>
        <translation>正向有功费率3电能</translation>
    </message>
    <message>
        <source>Positive active power rate of 2 electric energy</source>
        <translation>正向有功费率2电能</translation>
    </message>
    <message>
        <source>Positive active power rate of 1 electric energy</source>
        <translation>正向有功费率1电能</translation>
    </message>
    <message>
        <source>Combination active power rate 4 electricity</source>
        <translation>组合有功费率4电能</translation>
    </message>
    <message>
        <source>Combination active power rate 3 electricity</source>
        <translation>组合有功费率3电能</translation>
    </message>
    <message>
        <source>Combination active power rate 2 electricity</source>
        <translation>组合有功费率2电能</translation>
    </message>
    <message>
        <source>Combination active power rate 1 electricity</source>
        <translation>组合有功费率1电能</translation>
    </message>
    <message>
        <source>Combined reactive power 2 total electrical energy</source>
        <translation>组合无功2总电能</translation>
    </message>
    <message>
        <source>Combined reactive power 1 total electrical energy</source>
        <translation>组合无功1总电能</translation>
    </message>
    <message>
        <source>A-phase positive active energy</source>
        <translation>A相正向有功电能</translation>
    </message>
    <message>
        <source>B-phase positive active energy</source>
        <translation>B相正向有功电能</translation>
    </message>
    <message>
        <source>C-phase positive active energy</source>
        <translation>C相正向有功电能</translation>
    </message>
    <message>
        <source>Reactive constant of electric meter</source>
        <translation>电表无功常数</translation>
    </message>
    <message>
        <source>Active constant of electric meter</source>
        <translation>电表有功常数</translation>
    </message>
    <message>
        <source>Combined active total electrical energy</source>
        <translation>组合有功总电能</translation>
    </message>
    <message>
        <source>Reverse active total electrical energy</source>
        <translation>反向有功总电能</translation>
    </message>
    <message>
        <source>Total reactive energy in the first quadrant</source>
        <translation>第一象限无功总电能</translation>
    </message>
    <message>
        <source>Total reactive energy in the second quadrant</source>
        <translation>第二象限无功总电能</translation>
    </message>
    <message>
        <source>Total reactive energy in the third quadrant</source>
        <translation>第三象限无功总电能</translation>
    </message>
    <message>
        <source>Total reactive energy in the fourth quadrant</source>
        <translation>第四象限无功总电能</translation>
    </message>
    <message>
        <source>Positive active total electrical energy</source>
        <translation>正向有功总电能</translation>
    </message>
    <message>
        <source>Instantaneous total apparent power</source>
        <translation>瞬时总视在功率</translation>
    </message>
    <message>
        <source>Instantaneous A-phase apparent power</source>
        <translation>瞬时A相视在功率</translation>
    </message>
    <message>
        <source>Instantaneous B-phase apparent power</source>
        <translation>瞬时B相视在功率</translation>
    </message>
    <message>
        <source>Instantaneous C-phase apparent power</source>
        <translation>瞬时C相视在功率</translation>
    </message>
    <message>
        <source>Instantaneous total reactive power</source>
        <translation>瞬时总无功功率</translation>
    </message>
    <message>
        <source>Instantaneous A-phase reactive power</source>
        <translation>瞬时A相无功功率</translation>
    </message>
    <message>
        <source>Instantaneous B-phase reactive power</source>
        <translation>瞬时B相无功功率</translation>
    </message>
    <message>
        <source>Instantaneous C-phase reactive power</source>
        <translation>瞬时C相无功功率</translation>
    </message>
    <message>
        <source>Instantaneous total active power</source>
        <translation>瞬时总有功功率</translation>
    </message>
    <message>
        <source>Instantaneous A-phase active power</source>
        <translation>瞬时A相有功功率</translation>
    </message>
    <message>
        <source>Instantaneous B-phase active power</source>
        <translation>瞬时B相有功功率</translation>
    </message>
    <message>
        <source>Instantaneous C-phase active power</source>
        <translation>瞬时C相有功功率</translation>
    </message>
    <message>
        <source>Total power factor</source>
        <translation>总功率因数</translation>
    </message>
    <message>
        <source>A-phase power factor</source>
        <translation>A相功率因数</translation>
    </message>
    <message>
        <source>B-phase power factor</source>
        <translation>B相功率因数</translation>
    </message>
    <message>
        <source>C-phase power factor</source>
        <translation>C相功率因数</translation>
    </message>
    <message>
        <source>A-phase current</source>
        <translation>A相电流</translation>
    </message>
    <message>
        <source>B-phase current</source>
        <translation>B相电流</translation>
    </message>
    <message>
        <source>C-phase current</source>
        <translation>C相电流</translation>
    </message>
    <message>
        <source>A-phase voltage</source>
        <translation>A相电压</translation>
    </message>
    <message>
        <source>B-phase voltage</source>
        <translation>B相电压</translation>
    </message>
    <message>
        <source>C-phase voltage</source>
        <translation>C相电压</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
</context>
<context>
    <name>ServiceIEC61850EditDialog</name>
    <message>
        <source>Edit Service</source>
        <translation>编辑Service</translation>
    </message>
    <message>
        <source>Service Name:</source>
        <translation>服务名称：</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>协议：</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Authentication:</source>
        <translation>认证方式：</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>密码：</translation>
    </message>
    <message>
        <source>Enable GoosePublishing:</source>
        <translation>启用GOOSE发布：</translation>
    </message>
    <message>
        <source>Enable SSL:</source>
        <translation>启用SSL：</translation>
    </message>
    <message>
        <source>Root Certificate:</source>
        <translation>根证书：</translation>
    </message>
    <message>
        <source>Server Certificate:</source>
        <translation>服务器证书：</translation>
    </message>
    <message>
        <source>Server Key:</source>
        <translation>服务器密钥：</translation>
    </message>
    <message>
        <source>Server Key Password:</source>
        <translation>服务器密钥密码：</translation>
    </message>
    <message>
        <source>IsVerifyClientCert:</source>
        <translation>验证客户端证书：</translation>
    </message>
    <message>
        <source>Client Certificate%1:</source>
        <translation>客户端证书%1：</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>选择</translation>
    </message>
    <message>
        <source>Select Key File</source>
        <translation>选择密钥文件</translation>
    </message>
    <message>
        <source>Keys (%1)</source>
        <translation>密钥 (%1)</translation>
    </message>
    <message>
        <source>Select Certificate File</source>
        <translation>选择证书文件</translation>
    </message>
    <message>
        <source>Certificates (%1)</source>
        <translation>证书 (%1)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Failed to open file: %1</source>
        <translation>无法打开文件：%1</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The key storage path is inconsistent with the loading path.Please select the key again.Prevent data loss.</source>
        <translation>密钥的保存路径与加载路径不一致。请重新选择密钥，以防数据丢失。</translation>
    </message>
    <message>
        <source>The certificate storage path is inconsistent with the loading path.Please select the certificate again.Prevent data loss.</source>
        <translation>证书的保存路径与加载路径不一致。请重新选择证书，以防数据丢失。</translation>
    </message>
    <message>
        <source>The Standard OpcUa '%1' is saved successfully.</source>
        <translation>服务“%1”保存成功。</translation>
    </message>
    <message>
        <source>The file %1 is neither text nor a DER certificate or key (an encrypted key needs its Server Key Password). Nothing was stored.</source>
        <translation>文件%1既不是文本，也不是DER格式的证书或密钥（加密的密钥需要填写其服务器密钥密码），未保存任何内容。</translation>
    </message>
    <message>
        <source>The file %1 holds a binary (DER) certificate or key; its PEM text is stored.</source>
        <translation>文件%1包含二进制（DER）证书或密钥，已保存其PEM文本。</translation>
    </message>
    <message>
        <source>The file %1 holds a private key of a type that is not supported (%2). Nothing was stored.</source>
        <translation>文件 %1 中的私钥类型不受支持（%2）。未保存任何内容。</translation>
    </message>
    <message>
        <source>The file %1 is not a certificate or key file (%2). Nothing was stored.</source>
        <translation>文件 %1 不是证书或密钥文件（%2）。未保存任何内容。</translation>
    </message>
    <message>
        <source>The file %1 holds more than %2 MiB, more than any certificate or key. Nothing was stored.</source>
        <translation>文件 %1 超过 %2 MiB，不可能是证书或密钥。未保存任何内容。</translation>
    </message>
</context>
<context>
    <name>Validators</name>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The value of &quot;%1&quot; is out of range, incomplete or not allowed. Nothing was saved.</source>
        <translation>“%1”的值超出范围、不完整或不被允许，未保存任何内容。</translation>
    </message>
    <message>
        <source>The IP address &quot;%1&quot; in &quot;%2&quot; has a part with a leading zero, which some devices read as an octal number (010 as 8). Write it without leading zeros.</source>
        <translation>“%2”中的 IP 地址“%1”有一段以 0 开头，某些设备会把它读作八进制数（010 读作 8）。请去掉开头的 0。</translation>
    </message>
</context>
<context>
    <name>standardDLT645EditDialog</name>
    <message>
        <source>Save as Template...</source>
        <translation>另存为模板...</translation>
    </message>
    <message>
        <source>Test Read</source>
        <translation>测试读取</translation>
    </message>
    <message>
        <source>Edit Standard</source>
        <translation>编辑Standard</translation>
    </message>
    <message>
        <source>Server Name:</source>
        <translation>服务器名称：</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>协议：</translation>
    </message>
    <message>
        <source>Serial Port:</source>
        <translation>串口：</translation>
    </message>
    <message>
        <source>Baud Rate:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>Data Bit:</source>
        <translation>数据位：</translation>
    </message>
    <message>
        <source>Stop Bit:</source>
        <translation>停止位：</translation>
    </message>
    <message>
        <source>Parity Bit:</source>
        <translation>校验位：</translation>
    </message>
    <message>
        <source>Rts Enable:</source>
        <translation>RTS使能：</translation>
    </message>
    <message>
        <source>Communication Timeout:</source>
        <translation>通信超时：</translation>
    </message>
    <message>
        <source>Communication Gap:</source>
        <translation>通信间隔：</translation>
    </message>
    <message>
        <source>Add Tab</source>
        <translation>添加标签页</translation>
    </message>
    <message>
        <source>Timed Loops</source>
        <translation>定时循环</translation>
    </message>
    <message>
        <source>Trigger Conditions:</source>
        <translation>触发条件：</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Slave Address:</source>
        <translation>表地址：</translation>
    </message>
    <message>
        <source>Protocol Version:</source>
        <translation>协议版本：</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Data name</source>
        <translation>数据名称</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>The name of the '%1' line already exists. Please use a different name.</source>
        <translation>第“%1”行的名称已存在，请使用其他名称。</translation>
    </message>
    <message>
        <source>The Standard DLT645 '%1' is saved successfully.</source>
        <translation>DLT645设备“%1”保存成功。</translation>
    </message>
    <message>
        <source>Collection Interval</source>
        <translation>采集间隔</translation>
    </message>
</context>
<context>
    <name>standardInputDialog</name>
    <message>
        <source>Add Standard</source>
        <translation>添加Standard</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>协议：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>standardModbusEditDialog</name>
    <message>
        <source>Bus scan...</source>
        <translation>总线扫描...</translation>
    </message>
    <message>
        <source>Bus scan</source>
        <translation>总线扫描</translation>
    </message>
    <message>
        <source>The other slave tabs of this device were set up for %1, but station %2 answered at %3. Change the device&apos;s link to %3 and add the tab?</source>
        <translation>该设备的其他从站页按 %1 设置，但站号 %2 在 %3 下应答。要把设备的链路改为 %3 并添加该页吗？</translation>
    </message>
    <message>
        <source>Slave tab %1 added for station %2 (%3).</source>
        <translation>已为站号 %2 添加从站页 %1（%3）。</translation>
    </message>
    <message>
        <source>Save as Template...</source>
        <translation>另存为模板...</translation>
    </message>
    <message>
        <source>This tab holds %1 points. Importing replaces them with the %2 points of the file. Replace them?</source>
        <translation>此标签页已有 %1 个点。导入将用文件中的 %2 个点替换它们。要替换吗？</translation>
    </message>
    <message>
        <source>Discover registers...</source>
        <translation>探测寄存器...</translation>
    </message>
    <message>
        <source>Test Read</source>
        <translation>测试读取</translation>
    </message>
    <message>
        <source>Edit Standard</source>
        <translation>编辑Standard</translation>
    </message>
    <message>
        <source>Server Name:</source>
        <translation>服务器名称：</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>协议：</translation>
    </message>
    <message>
        <source>Modbus:</source>
        <translation>Modbus：</translation>
    </message>
    <message>
        <source>Network Layer Information</source>
        <translation>网络层信息</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP：</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Connection Timeout:</source>
        <translation>连接超时：</translation>
    </message>
    <message>
        <source>Communication Timeout:</source>
        <translation>通信超时：</translation>
    </message>
    <message>
        <source>Keep Alive Time:</source>
        <translation>保活时间：</translation>
    </message>
    <message>
        <source>Serial Port Information</source>
        <translation>串口信息</translation>
    </message>
    <message>
        <source>Serial Port:</source>
        <translation>串口：</translation>
    </message>
    <message>
        <source>Baud Rate:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>Data Bit:</source>
        <translation>数据位：</translation>
    </message>
    <message>
        <source>Stop Bit:</source>
        <translation>停止位：</translation>
    </message>
    <message>
        <source>Parity Bit:</source>
        <translation>校验位：</translation>
    </message>
    <message>
        <source>Rts Enable:</source>
        <translation>RTS使能：</translation>
    </message>
    <message>
        <source>Communication Gap:</source>
        <translation>通信间隔：</translation>
    </message>
    <message>
        <source>Add Tab</source>
        <translation>添加标签页</translation>
    </message>
    <message>
        <source>Timed Loops</source>
        <translation>定时循环</translation>
    </message>
    <message>
        <source>Trigger Conditions:</source>
        <translation>触发条件：</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Series:</source>
        <translation>系列：</translation>
    </message>
    <message>
        <source>Station Num:</source>
        <translation>站号：</translation>
    </message>
    <message>
        <source>Byte Order:</source>
        <translation>字节序：</translation>
    </message>
    <message>
        <source>StartAddress0:</source>
        <translation>起始地址0：</translation>
    </message>
    <message>
        <source>Char Reversed:</source>
        <translation>字符反转：</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Remove All</source>
        <translation>全部删除</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>导入</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>长度</translation>
    </message>
    <message>
        <source>Permissions</source>
        <translation>权限</translation>
    </message>
    <message>
        <source>Deleat</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Expected header: %1</source>
        <translation>应有的表头：%1</translation>
    </message>
    <message>
        <source>The name cannot contain a comma. Please use a different name.</source>
        <translation>名称不能包含逗号。请使用其他名称。</translation>
    </message>
    <message>
        <source>The name of the '%1' line already exists in this tab. Please use a different name.</source>
        <translation>第“%1”行的名称在此标签页中已存在。请使用其他名称。</translation>
    </message>
    <message>
        <source>The Standard Modbus '%1' is saved successfully.</source>
        <translation>Standard Modbus“%1”保存成功。</translation>
    </message>
    <message>
        <source>Invalid input in row %1: only letters, digits, underscores, dots, colons, and brackets are allowed.</source>
        <translation>第%1行输入无效：只允许使用字母、数字、下划线、点、冒号和括号。</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Length must be a positive integer between 1 and 10.</source>
        <translation>长度必须是1到10之间的正整数。</translation>
    </message>
    <message>
        <source>Save CSV file</source>
        <translation>保存CSV文件</translation>
    </message>
    <message>
        <source>CSV file (*.csv)</source>
        <translation>CSV文件 (*.csv)</translation>
    </message>
    <message>
        <source>Open CSV file</source>
        <translation>打开CSV文件</translation>
    </message>
    <message>
        <source>CSV File (*.csv)</source>
        <translation>CSV文件 (*.csv)</translation>
    </message>
    <message>
        <source>mistake</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Unable to open file for reading.</source>
        <translation>无法打开文件进行读取。</translation>
    </message>
    <message>
        <source>CSV file has incorrect column count, unable to import</source>
        <translation>CSV文件列数不正确，无法导入</translation>
    </message>
    <message>
        <source>CSV header does not match expected format.</source>
        <translation>CSV表头与预期格式不符。</translation>
    </message>
    <message>
        <source>The address in the CSV row does not match the expected format.</source>
        <translation>CSV行中的地址与预期格式不符。</translation>
    </message>
    <message>
        <source>The multiple-choice content in the CSV row does not match the expected format. Set as default value</source>
        <translation>CSV行中的多选内容与预期格式不符。已设为默认值</translation>
    </message>
    <message>
        <source>The length of the numbers in the CSV row does not match the expected format.</source>
        <translation>CSV行中的数字长度与预期格式不符。</translation>
    </message>
    <message>
        <source>error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Mistake</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Unable to open file for writing.</source>
        <translation>无法打开文件进行写入。</translation>
    </message>
    <message>
        <source>The name cannot contain a line break. Please use a different name.</source>
        <translation>名称不能包含换行符，请使用其他名称。</translation>
    </message>
    <message>
        <source>Row %1 of the CSV file opens a quote that is never closed, unable to import</source>
        <translation>CSV文件第%1行的引号没有闭合，无法导入</translation>
    </message>
    <message>
        <source>Collection Interval</source>
        <translation>采集间隔</translation>
    </message>
</context>
<context>
    <name>ProjectChecker</name>
    <message>
        <source>The collection interval of %1 ms is below %2 ms.</source>
        <translation>采集间隔 %1 ms 低于 %2 ms。</translation>
    </message>
    <message>
        <source>The point name '%1' is already used in %2, row %3.</source>
        <translation>点名称“%1”已在 %2 第 %3 行使用。</translation>
    </message>
    <message>
        <source>The registers of this point overlap those of '%1' in row %2.</source>
        <translation>此点的寄存器与第 %2 行的“%1”重叠。</translation>
    </message>
    <message>
        <source>The IP address '%1' is not a valid IPv4 address.</source>
        <translation>IP 地址“%1”不是有效的 IPv4 地址。</translation>
    </message>
    <message>
        <source>The port '%1' is not a number from 1 to 65535 (or -1 for the default).</source>
        <translation>端口“%1”不是 1 到 65535 之间的数字（-1 表示默认值）。</translation>
    </message>
    <message>
        <source>No serial port is set.</source>
        <translation>未设置串口。</translation>
    </message>
    <message>
        <source>The device has no slave tabs.</source>
        <translation>该设备没有从站页。</translation>
    </message>
    <message>
        <source>The slave tab has no points.</source>
        <translation>该从站页没有数据点。</translation>
    </message>
    <message>
        <source>The address '%1' cannot be read as a Modbus address (the box may still accept it).</source>
        <translation>地址“%1”无法作为 Modbus 地址读取（Box 可能仍然接受）。</translation>
    </message>
    <message>
        <source>The device has no meters.</source>
        <translation>该设备没有电表。</translation>
    </message>
    <message>
        <source>The meter address '%1' is not 12 hexadecimal digits.</source>
        <translation>电表地址“%1”不是 12 位十六进制数字。</translation>
    </message>
    <message>
        <source>The selected data item '%1' has no name.</source>
        <translation>已选中的数据项“%1”没有名称。</translation>
    </message>
    <message>
        <source>The meter has no selected data items.</source>
        <translation>该电表没有选中的数据项。</translation>
    </message>
    <message>
        <source>The %1 does not parse as a certificate.</source>
        <translation>%1无法解析为证书。</translation>
    </message>
    <message>
        <source>The %1 has expired (valid from %2 to %3).</source>
        <translation>%1已过期（有效期 %2 至 %3）。</translation>
    </message>
    <message>
        <source>The %1 is not valid yet (valid from %2 to %3).</source>
        <translation>%1尚未生效（有效期 %2 至 %3）。</translation>
    </message>
    <message>
        <source>The password has fewer than %1 characters.</source>
        <translation>密码少于 %1 个字符。</translation>
    </message>
    <message>
        <source>root certificate</source>
        <translation>根证书</translation>
    </message>
    <message>
        <source>SSL is on but no server certificate is set.</source>
        <translation>已启用 SSL，但未设置服务器证书。</translation>
    </message>
    <message>
        <source>server certificate</source>
        <translation>服务器证书</translation>
    </message>
    <message>
        <source>SSL is on but no server key is set.</source>
        <translation>已启用 SSL，但未设置服务器密钥。</translation>
    </message>
    <message>
        <source>The server key does not parse (not a private key, or a wrong password).</source>
        <translation>服务器密钥无法解析（不是私钥，或密码错误）。</translation>
    </message>
    <message>
        <source>The server key does not match the server certificate.</source>
        <translation>服务器密钥与服务器证书不匹配。</translation>
    </message>
    <message>
        <source>client certificate %1</source>
        <translation>客户端证书%1</translation>
    </message>
    <message>
        <source>Client verification is on but no client certificate is set.</source>
        <translation>已启用客户端验证，但未设置客户端证书。</translation>
    </message>
    <message>
        <source>The server key is of a type that is not supported (%1).</source>
        <translation>服务器密钥的类型不受支持（%1）。</translation>
    </message>
    <message>
        <source>Another item in the %1 folder is also named &apos;%2&apos;.</source>
        <translation>%1 文件夹中另有一个条目也名为“%2”。</translation>
    </message>
    <message>
        <source>The IP address '%1' has a part with a leading zero, which some devices read as an octal number; write it without leading zeros.</source>
        <translation>IP 地址“%1”有一段以 0 开头，某些设备会把它读作八进制数；请去掉开头的 0。</translation>
    </message>
    <message>
        <source>The station number '%1' is not a number from 1 to 247, which a Modbus RTU slave needs.</source>
        <translation>站号“%1”不是 1 到 247 之间的数，而 Modbus RTU 从站需要这样的站号。</translation>
    </message>
    <message>
        <source>The station number '%1' is not a Modbus TCP unit id from 0 to 255.</source>
        <translation>站号“%1”不是 0 到 255 之间的 Modbus TCP 单元标识。</translation>
    </message>
</context>
<context>
    <name>ProjectDiff</name>
    <message>
        <source>point at %1</source>
        <translation>地址 %1 的点</translation>
    </message>
    <message>
        <source>point '%1'</source>
        <translation>点“%1”</translation>
    </message>
    <message>
        <source>meter %1</source>
        <translation>电表 %1</translation>
    </message>
    <message>
        <source>slave %1</source>
        <translation>从站 %1</translation>
    </message>
    <message>
        <source>project</source>
        <translation>项目</translation>
    </message>
    <message>
        <source>device '%1'</source>
        <translation>设备“%1”</translation>
    </message>
    <message>
        <source>service '%1'</source>
        <translation>服务“%1”</translation>
    </message>
    <message>
        <source>box '%1'</source>
        <translation>Box“%1”</translation>
    </message>
    <message>
        <source>Selected</source>
        <translation>选中</translation>
    </message>
    <message>
        <source>Data identifier</source>
        <translation>数据标识</translation>
    </message>
    <message>
        <source>Value format</source>
        <translation>数据格式</translation>
    </message>
    <message>
        <source>WiFi</source>
        <translation>WiFi</translation>
    </message>
    <message>
        <source>%1 (file path)</source>
        <translation>%1（文件路径）</translation>
    </message>
    <message>
        <source>%1: %2, %3: %4</source>
        <translation>%1：%2，%3：%4</translation>
    </message>
</context>
<context>
    <name>CertificateDetailsView</name>
    <message>
        <source>%1: the file holds no certificate.</source>
        <translation>%1：该文件不包含证书。</translation>
    </message>
    <message>
        <source>Subject: %1</source>
        <translation>主题：%1</translation>
    </message>
    <message>
        <source>Issuer: %1</source>
        <translation>颁发者：%1</translation>
    </message>
    <message>
        <source>Valid from %1 to %2%3</source>
        <translation>有效期 %1 至 %2%3</translation>
    </message>
    <message>
        <source> (expired)</source>
        <translation>（已过期）</translation>
    </message>
    <message>
        <source> (not valid yet)</source>
        <translation>（尚未生效）</translation>
    </message>
    <message>
        <source>Server key: does not parse (not a private key, or the key password is wrong).</source>
        <translation>服务器密钥：无法解析（不是私钥，或密钥密码错误）。</translation>
    </message>
    <message>
        <source>Server key: no server certificate to compare with.</source>
        <translation>服务器密钥：没有可比较的服务器证书。</translation>
    </message>
    <message>
        <source>Server key: matches the server certificate.</source>
        <translation>服务器密钥：与服务器证书匹配。</translation>
    </message>
    <message>
        <source>Server key: does NOT match the server certificate.</source>
        <translation>服务器密钥：与服务器证书不匹配。</translation>
    </message>
    <message>
        <source>Server key: its type is not supported (%1).</source>
        <translation>服务器密钥：不支持该密钥类型（%1）。</translation>
    </message>
</context>
<context>
    <name>DeploymentChangesDialog</name>
    <message>
        <source>Changes on the Box</source>
        <translation>Box 上的更改</translation>
    </message>
    <message>
        <source>Compared with the project last sent to %1 from this computer, this deployment changes:</source>
        <translation>与本机上次发送到 %1 的项目相比，本次部署将更改：</translation>
    </message>
    <message>
        <source>Compared with the project last sent to each box from this computer, this deployment changes:</source>
        <translation>与本机上次发送到各 Box 的项目相比，本次部署将更改：</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 (%2): never received this project from this computer, nothing to compare with</source>
        <translation>%1 (%2)：从未从本机收到此项目，无可比较</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>更改</translation>
    </message>
    <message>
        <source>Place</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>Field</source>
        <translation>字段</translation>
    </message>
    <message>
        <source>Old value</source>
        <translation>旧值</translation>
    </message>
    <message>
        <source>New value</source>
        <translation>新值</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>Removed</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Changed</source>
        <translation>修改</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>DeploymentGate</name>
    <message>
        <source>The project was not sent: it has errors. Correct them and deploy again.</source>
        <translation>项目未发送：存在错误。请更正后重新部署。</translation>
    </message>
    <message>
        <source>%1 / %2, row %3</source>
        <translation>%1 / %2，第 %3 行</translation>
    </message>
    <message>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>……另有 %1 条。</translation>
    </message>
    <message>
        <source>Check Project</source>
        <translation>检查项目</translation>
    </message>
    <message>
        <source>The project has warnings:

%1

Send it anyway?</source>
        <translation>项目存在警告：

%1

仍然发送吗？</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The project was sent, but the copy kept to show the next deployment's changes could not be written: %1</source>
        <translation>项目已发送，但用于显示下次部署更改的副本无法写入：%1</translation>
    </message>
    <message>
        <source>The project '%1' has not been saved: no file holds what is about to be sent.

Save it first?</source>
        <translation>项目“%1”尚未保存：没有文件保存即将发送的内容。

先保存吗？</translation>
    </message>
    <message>
        <source>The project '%1' has changes that its file %2 does not hold: the box would get a project that differs from the file.

Save it first?</source>
        <translation>项目“%1”有更改未保存到其文件 %2 中：设备将收到与文件不同的项目。

先保存吗？</translation>
    </message>
    <message>
        <source>Unsaved Project</source>
        <translation>项目未保存</translation>
    </message>
    <message>
        <source>Send without saving</source>
        <translation>不保存直接发送</translation>
    </message>
</context>
<context>
    <name>ProjectChecksWindow</name>
    <message>
        <source>Check Project: %1</source>
        <translation>检查项目：%1</translation>
    </message>
    <message>
        <source>Severity</source>
        <translation>严重程度</translation>
    </message>
    <message>
        <source>Item</source>
        <translation>项</translation>
    </message>
    <message>
        <source>Place</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>内容</translation>
    </message>
    <message>
        <source>Check Again</source>
        <translation>重新检查</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>%1, row %2</source>
        <translation>%1，第 %2 行</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>No problems found.</source>
        <translation>未发现问题。</translation>
    </message>
    <message>
        <source>%1 error(s), %2 warning(s).</source>
        <translation>%1 个错误，%2 个警告。</translation>
    </message>
</context>
<context>
    <name>MonitoringRowDelegate</name>
    <message>
        <source>Invalid</source>
        <translation>无效</translation>
    </message>
    <message>
        <source>Stale: last value received %1 s ago</source>
        <translation>已过时：最后一个值在 %1 秒前收到</translation>
    </message>
    <message>
        <source>Value received %1 s ago</source>
        <translation>值在 %1 秒前收到</translation>
    </message>
</context>
<context>
    <name>TrendChart</name>
    <message>
        <source>Trend: %1</source>
        <translation>趋势：%1</translation>
    </message>
    <message>
        <source> min</source>
        <translation> 分钟</translation>
    </message>
    <message>
        <source>Last</source>
        <translation>最近</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>FleetDeployment</name>
    <message>
        <source>Unchanged: the box confirmed exactly this before; nothing sent.</source>
        <translation>未更改：盒子之前已确认过完全相同的内容；未发送任何内容。</translation>
    </message>
    <message>
        <source>This computer has no such local address any more: choose another one, or none.</source>
        <translation>本机已没有该本地地址：请选择其他地址，或不指定。</translation>
    </message>
    <message>
        <source>The box did not take the connection: check its IP address, the cable and that the box is switched on, then retry.</source>
        <translation>Box未接受连接：请检查其IP地址、网线以及Box是否已通电，然后重试。</translation>
    </message>
    <message>
        <source>The file could not be read on this computer: check that it exists and is readable, then retry.</source>
        <translation>无法在本机读取该文件：请检查文件是否存在且可读，然后重试。</translation>
    </message>
    <message>
        <source>The connection dropped while sending: check the cable and the box's power, then retry.</source>
        <translation>发送时连接中断：请检查网线和Box的电源，然后重试。</translation>
    </message>
    <message>
        <source>The box stopped taking data: it may be busy or out of space. Wait a moment, then retry.</source>
        <translation>Box停止接收数据：可能正忙或空间不足。请稍候再重试。</translation>
    </message>
    <message>
        <source>Cancelled here: the box did not confirm anything. Retry when ready.</source>
        <translation>已在本机取消：Box未确认任何内容。准备好后请重试。</translation>
    </message>
    <message>
        <source>The box did not give its verdict in time: it may be busy. Refresh to see that it answers, then retry.</source>
        <translation>Box未及时给出校验结果：可能正忙。请刷新确认其有应答，然后重试。</translation>
    </message>
    <message>
        <source>The box closed the connection before its verdict: it may have restarted. Refresh to see that it answers, then retry.</source>
        <translation>Box在给出校验结果前关闭了连接：可能已重启。请刷新确认其有应答，然后重试。</translation>
    </message>
    <message>
        <source>The box answered in a way this tool does not expect: check that its program version fits, and that no other tool sends to it at the same time, then retry.</source>
        <translation>Box的应答不符合本工具的预期：请检查其程序版本是否匹配，以及是否有其他工具同时向其发送，然后重试。</translation>
    </message>
    <message>
        <source>The file arrived damaged: send it again (Retry).</source>
        <translation>文件到达时已损坏：请重新发送（重试）。</translation>
    </message>
</context>
<context>
    <name>FleetWindow</name>
    <message>
        <source>Export inventory...</source>
        <translation>导出清单...</translation>
    </message>
    <message>
        <source>The checked boxes as an Ansible inventory group (INI, box_ip per host)</source>
        <translation>将勾选的盒子导出为 Ansible 清单组（INI，每个主机带 box_ip）</translation>
    </message>
    <message>
        <source>Export inventory</source>
        <translation>导出清单</translation>
    </message>
    <message>
        <source>Ansible inventory (*.ini);;All Files (*.*)</source>
        <translation>Ansible 清单 (*.ini);;所有文件 (*.*)</translation>
    </message>
    <message>
        <source>The inventory could not be written to %1: %2</source>
        <translation>无法将清单写入 %1：%2</translation>
    </message>
    <message>
        <source>Inventory of %1 boxes written to %2.</source>
        <translation>已将 %1 个盒子的清单写入 %2。</translation>
    </message>
    <message>
        <source>At most %1 transfers at once: the limit of %2 open files allows no more.</source>
        <translation>最多同时进行 %1 个传输：打开文件数上限 %2 不允许更多。</translation>
    </message>
    <message>
        <source>%1 (%2): %3</source>
        <translation>%1 (%2)：%3</translation>
    </message>
    <message>
        <source>%1 of %2 succeeded</source>
        <translation>%2 台中 %1 台成功</translation>
    </message>
    <message>
        <source>At once:</source>
        <translation>同时进行：</translation>
    </message>
    <message>
        <source>Boxes of %1</source>
        <translation>%1 的设备</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Could not write the deployment copy %1: %2</source>
        <translation>无法写入部署副本 %1：%2</translation>
    </message>
    <message>
        <source>Deploying project</source>
        <translation>正在部署项目</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP 地址</translation>
    </message>
    <message>
        <source>Last deployment</source>
        <translation>上次部署</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>No box is checked.</source>
        <translation>未勾选任何设备。</translation>
    </message>
    <message>
        <source>No reply</source>
        <translation>无应答</translation>
    </message>
    <message>
        <source>Program Files (*.bin);;All Files (*.*)</source>
        <translation>程序文件 (*.bin);;所有文件 (*.*)</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>重试</translation>
    </message>
    <message>
        <source>Select Program File</source>
        <translation>选择程序文件</translation>
    </message>
    <message>
        <source>Send the program image %1 to %2 boxes (models: %3)?</source>
        <translation>将程序镜像 %1 发送到 %2 台设备（型号：%3）？</translation>
    </message>
    <message>
        <source>Transfers Running</source>
        <translation>传输进行中</translation>
    </message>
    <message>
        <source>Transfers to boxes are still running. Cancel them and close?</source>
        <translation>到设备的传输仍在进行。取消并关闭吗？</translation>
    </message>
    <message>
        <source>Update program</source>
        <translation>更新程序</translation>
    </message>
    <message>
        <source>Update project</source>
        <translation>更新项目</translation>
    </message>
    <message>
        <source>Updating program</source>
        <translation>正在更新程序</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>等待中</translation>
    </message>
    <message>
        <source>unknown model</source>
        <translation>未知型号</translation>
    </message>
    <message>
        <source>Not a valid IPv4 address (four decimal parts from 0 to 255, without leading zeros); this box is left out.</source>
        <translation>不是有效的 IPv4 地址（四段 0 到 255 之间且不以 0 开头的十进制数）；此盒子被跳过。</translation>
    </message>
    <message>
        <source>The same address as %1; the box is deployed once, with that row.</source>
        <translation>与 %1 地址相同；此盒子只部署一次，随该行进行。</translation>
    </message>
</context>
<context>
    <name>MonitoringRecorder</name>
    <message>
        <source>not open</source>
        <translation>未打开</translation>
    </message>
    <message>
        <source>a recording of an older layout; choose a new file</source>
        <translation>旧格式的记录；请选择一个新文件</translation>
    </message>
    <message>
        <source>not a database in WAL mode</source>
        <translation>不是 WAL 模式的数据库</translation>
    </message>
    <message>
        <source>no such file</source>
        <translation>文件不存在</translation>
    </message>
    <message>
        <source>another program kept the database locked too long; the values waiting for it were dropped</source>
        <translation>另一个程序锁定数据库的时间过长；等待写入的数值已被丢弃</translation>
    </message>
    <message>
        <source>the file could not be written completely; the disk may be full</source>
        <translation>文件未能完整写入，磁盘可能已满</translation>
    </message>
</context>
<context>
    <name>DeploymentLog</name>
    <message>
        <source>The transfer was not recorded in %1: %2</source>
        <translation>传输未能记录到 %1：%2</translation>
    </message>
</context>
<context>
    <name>DeploymentStore</name>
    <message>
        <source>cannot create %1</source>
        <translation>无法创建 %1</translation>
    </message>
</context>
<context>
    <name>Dlt645Status</name>
    <message>
        <source>read</source>
        <translation>已读取</translation>
    </message>
    <message>
        <source>no answer within the timeout</source>
        <translation>超时未应答</translation>
    </message>
    <message>
        <source>error reply</source>
        <translation>异常应答</translation>
    </message>
    <message>
        <source>checksum error</source>
        <translation>校验和错误</translation>
    </message>
    <message>
        <source>answer from another meter address</source>
        <translation>其他表地址的应答</translation>
    </message>
    <message>
        <source>answer of another kind</source>
        <translation>类型不符的应答</translation>
    </message>
    <message>
        <source>answer for another data item</source>
        <translation>其他数据项的应答</translation>
    </message>
    <message>
        <source>wrong data length</source>
        <translation>数据长度错误</translation>
    </message>
    <message>
        <source>not a decimal (BCD) value</source>
        <translation>不是十进制(BCD)数值</translation>
    </message>
    <message>
        <source>not sent: the meter did not answer</source>
        <translation>未发送：该表未应答</translation>
    </message>
    <message>
        <source>the meter address is not 12 hexadecimal digits</source>
        <translation>表地址不是12位十六进制数</translation>
    </message>
    <message>
        <source>unknown data item</source>
        <translation>未知数据项</translation>
    </message>
    <message>
        <source>serial line error</source>
        <translation>串口错误</translation>
    </message>
    <message>
        <source>error reply 0x%1</source>
        <translation>异常应答 0x%1</translation>
    </message>
</context>
<context>
    <name>MeterTestReadDialog</name>
    <message>
        <source>Test Read: %1</source>
        <translation>测试读取：%1</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>设备：</translation>
    </message>
    <message>
        <source>Meter address:</source>
        <translation>表地址：</translation>
    </message>
    <message>
        <source>Communication time-out:</source>
        <translation>通信超时：</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Data name</source>
        <translation>数据名称</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>单位</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Round trip (ms)</source>
        <translation>往返时间（毫秒）</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>循环读取</translation>
    </message>
    <message>
        <source>Read address</source>
        <translation>读取地址</translation>
    </message>
    <message>
        <source>The 1997 edition has no address read: take the address from the meter&apos;s plate.</source>
        <translation>1997版规约没有读地址命令：请从电表铭牌上获取地址。</translation>
    </message>
    <message>
        <source>The meter must be alone on the line: every meter answers an address read.</source>
        <translation>线路上只能接这一块表：每块表都会应答读地址命令。</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>No data item is selected in this meter tab.</source>
        <translation>此电表标签页中未选择任何数据项。</translation>
    </message>
    <message>
        <source>Test Read</source>
        <translation>测试读取</translation>
    </message>
    <message>
        <source>Choose the serial device to read through.</source>
        <translation>请选择用于读取的串口设备。</translation>
    </message>
    <message>
        <source>Serial line: %1</source>
        <translation>串口线路：%1</translation>
    </message>
    <message>
        <source>The serial device %1 cannot be opened: %2</source>
        <translation>无法打开串口设备 %1：%2</translation>
    </message>
    <message>
        <source>Reading...</source>
        <translation>正在读取...</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Read at %1: %2 of %3 items failed.</source>
        <translation>%1 读取：%3 项中有 %2 项失败。</translation>
    </message>
    <message>
        <source>Reading the meter address...</source>
        <translation>正在读取表地址...</translation>
    </message>
    <message>
        <source>The address read failed: %1</source>
        <translation>读取地址失败：%1</translation>
    </message>
    <message>
        <source>The meter answered with the address %1.</source>
        <translation>电表应答的地址为 %1。</translation>
    </message>
    <message>
        <source>The meter answered with the address %1. Put it into &quot;Slave Address:&quot;?</source>
        <translation>电表应答的地址为 %1。是否填入“表地址：”？</translation>
    </message>
</context>
<context>
    <name>SerialLine</name>
    <message>
        <source>%1 does not let RTS be set; the line is used without it.</source>
        <translation>%1 不支持设置RTS；线路将在不使用RTS的情况下工作。</translation>
    </message>
</context>
<context>
    <name>ModbusBusScan</name>
    <message>
        <source>The scan was cancelled.</source>
        <translation>扫描已取消。</translation>
    </message>
    <message>
        <source>%1 could not be used: %2</source>
        <translation>无法使用%1：%2</translation>
    </message>
    <message>
        <source>Every id answered: something (a gateway) answers for any id, so the ids found do not show which devices are there.</source>
        <translation>所有站号都有应答：有设备（网关）对任何站号都应答，因此找到的站号不能说明线上有哪些设备。</translation>
    </message>
    <message>
        <source>No device answered.</source>
        <translation>没有设备应答。</translation>
    </message>
    <message>
        <source>Devices that answered: %1.</source>
        <translation>应答的设备：%1 台。</translation>
    </message>
</context>
<context>
    <name>BoxSession</name>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>it answers again; the link is back.</source>
        <translation>它再次应答；连接已恢复。</translation>
    </message>
    <message>
        <source>Connection status: no answer from the box for %1 s</source>
        <translation>连接状态：Box已 %1 秒未应答</translation>
    </message>
</context>
<context>
    <name>BoxLinkMarks</name>
    <message>
        <source>Connected to %1</source>
        <translation>已连接到 %1</translation>
    </message>
    <message>
        <source>Connected to %1, but the box has not answered for %2 s</source>
        <translation>已连接到 %1，但盒子已 %2 秒没有应答</translation>
    </message>
    <message>
        <source>Not connected: trying %1</source>
        <translation>未连接：正在尝试 %1</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>未连接</translation>
    </message>
</context>
<context>
    <name>TrafficModel</name>
    <message>
        <source>timeout</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>CRC error</source>
        <translation>CRC错误</translation>
    </message>
    <message>
        <source>exception %1</source>
        <translation>异常 %1</translation>
    </message>
    <message>
        <source>wrong reply</source>
        <translation>错误应答</translation>
    </message>
    <message>
        <source>connection error</source>
        <translation>连接错误</translation>
    </message>
    <message>
        <source>not awaited</source>
        <translation>非预期数据</translation>
    </message>
    <message>
        <source>TX</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>RX</source>
        <translation>接收</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Direction</source>
        <translation>方向</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>单元</translation>
    </message>
    <message>
        <source>Bytes (hex)</source>
        <translation>字节（十六进制）</translation>
    </message>
    <message>
        <source>Round trip</source>
        <translation>往返时间</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
</context>
<context>
    <name>TrafficPane</name>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Requests</source>
        <translation>请求</translation>
    </message>
    <message>
        <source>Good replies</source>
        <translation>正常应答</translation>
    </message>
    <message>
        <source>Timeouts</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>Exceptions</source>
        <translation>异常</translation>
    </message>
    <message>
        <source>CRC/framing errors</source>
        <translation>CRC/帧错误</translation>
    </message>
    <message>
        <source>Wrong replies</source>
        <translation>错误应答</translation>
    </message>
    <message>
        <source>Connection errors</source>
        <translation>连接错误</translation>
    </message>
    <message>
        <source>Min (ms)</source>
        <translation>最小（毫秒）</translation>
    </message>
    <message>
        <source>Mean (ms)</source>
        <translation>平均（毫秒）</translation>
    </message>
    <message>
        <source>Max (ms)</source>
        <translation>最大（毫秒）</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>Start the counters afresh; the frames stay.</source>
        <translation>计数器清零；报文记录保留。</translation>
    </message>
    <message>
        <source>Save as text</source>
        <translation>另存为文本</translation>
    </message>
    <message>
        <source>Unit %1</source>
        <translation>单元 %1</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Save traffic as text</source>
        <translation>将通信报文另存为文本</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>文本文件 (*.txt);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Could not write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>No traffic to save.</source>
        <translation>没有可保存的通信报文。</translation>
    </message>
</context>
<context>
    <name>RegisterDiscovery</name>
    <message>
        <source>Discovery was cancelled.</source>
        <translation>寄存器探测已取消。</translation>
    </message>
    <message>
        <source>The device stopped answering: %1 requests in a row had no reply (the last at address %2). Discovery ended there.</source>
        <translation>设备停止应答：连续 %1 个请求没有应答（最后一个在地址 %2）。寄存器探测在此结束。</translation>
    </message>
    <message>
        <source>The link to the device could not be used: %1</source>
        <translation>无法使用到设备的连接：%1</translation>
    </message>
    <message>
        <source>Addresses inside refused blocks were not asked one by one (%1 in all): a readable register alone among them can have been missed.</source>
        <translation>被拒绝的地址块内部的地址未逐个询问（共 %1 个）：其中单独可读的寄存器可能被遗漏。</translation>
    </message>
</context>
<context>
    <name>AddFromTemplateDialog</name>
    <message>
        <source>Add from Template</source>
        <translation>从模板添加</translation>
    </message>
    <message>
        <source>{n} counts the devices from 1.</source>
        <translation>{n} 为设备序号，从 1 开始。</translation>
    </message>
    <message>
        <source>the template&apos;s port, or one per host</source>
        <translation>模板的端口，或每台主机一个端口</translation>
    </message>
    <message>
        <source>Template:</source>
        <translation>模板：</translation>
    </message>
    <message>
        <source>Device name:</source>
        <translation>设备名称：</translation>
    </message>
    <message>
        <source>IP addresses:</source>
        <translation>IP地址：</translation>
    </message>
    <message>
        <source>Ports:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Serial port:</source>
        <translation>串口：</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Tabs</source>
        <translation>标签页</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>点数</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>Preview:</source>
        <translation>预览：</translation>
    </message>
    <message>
        <source>Points: %1</source>
        <translation>点数：%1</translation>
    </message>
    <message>
        <source>No usable template in the library.</source>
        <translation>模板库中没有可用的模板。</translation>
    </message>
    <message>
        <source>Meter addresses:</source>
        <translation>电表地址：</translation>
    </message>
    <message>
        <source>Station numbers:</source>
        <translation>站号：</translation>
    </message>
    <message>
        <source>Devices to add: %1</source>
        <translation>待添加设备：%1</translation>
    </message>
</context>
<context>
    <name>DeviceTemplate</name>
    <message>
        <source>&apos;%1&apos; is not a list.</source>
        <translation>“%1”不是列表。</translation>
    </message>
    <message>
        <source>row %1</source>
        <translation>第 %1 行</translation>
    </message>
    <message>
        <source>The file is not a device template.</source>
        <translation>该文件不是设备模板。</translation>
    </message>
    <message>
        <source>The template&apos;s format version is %1; this program reads version %2.</source>
        <translation>模板的格式版本为 %1；本程序读取版本 %2。</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>缺失</translation>
    </message>
    <message>
        <source>The file is not valid JSON (%1 at byte %2).</source>
        <translation>该文件不是有效的 JSON（第 %2 字节：%1）。</translation>
    </message>
    <message>
        <source>The template has no name.</source>
        <translation>模板没有名称。</translation>
    </message>
    <message>
        <source>The protocol &apos;%1&apos; is neither Modbus nor DLT645.</source>
        <translation>协议“%1”既不是 Modbus 也不是 DLT645。</translation>
    </message>
    <message>
        <source>The Modbus mode &apos;%1&apos; is neither ModbusTCP nor ModbusRTU.</source>
        <translation>Modbus 模式“%1”既不是 ModbusTCP 也不是 ModbusRTU。</translation>
    </message>
    <message>
        <source>A Modbus template cannot have meters.</source>
        <translation>Modbus 模板不能包含电表。</translation>
    </message>
    <message>
        <source>A DLT645 template cannot have Modbus slave tabs.</source>
        <translation>DLT645 模板不能包含 Modbus 从站标签页。</translation>
    </message>
    <message>
        <source>The port &apos;%1&apos; is not a number from 1 to 65535 (or -1 for the default).</source>
        <translation>端口“%1”不是 1 到 65535 之间的数字（或表示默认值的 -1）。</translation>
    </message>
    <message>
        <source>The template has no slave tabs.</source>
        <translation>模板没有从站标签页。</translation>
    </message>
    <message>
        <source>The template has no meters.</source>
        <translation>模板没有电表。</translation>
    </message>
    <message>
        <source>The point has no name.</source>
        <translation>该点没有名称。</translation>
    </message>
    <message>
        <source>The name &apos;%1&apos; is already used in %2, row %3.</source>
        <translation>名称“%1”已在 %2 第 %3 行使用。</translation>
    </message>
    <message>
        <source>The station number &apos;%1&apos; is not a number from %2 to %3.</source>
        <translation>站号“%1”不是 %2 到 %3 之间的数字。</translation>
    </message>
    <message>
        <source>The byte order &apos;%1&apos; is not one of %2.</source>
        <translation>字节序“%1”不是 %2 之一。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not an address of a Modbus table (0xxxx, 1xxxx, 3xxxx, 4xxxx, within 0 to 65535).</source>
        <translation>“%1”不是 Modbus 表的地址（0xxxx、1xxxx、3xxxx、4xxxx，范围 0 到 65535）。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a data type.</source>
        <translation>“%1”不是数据类型。</translation>
    </message>
    <message>
        <source>A point of a bit table is of type bool, not &apos;%1&apos;.</source>
        <translation>位表中的点应为 bool 类型，而不是“%1”。</translation>
    </message>
    <message>
        <source>The length &apos;%1&apos; of a string is not a number from 1 to %2 registers.</source>
        <translation>字符串的长度“%1”不是 1 到 %2 个寄存器之间的数字。</translation>
    </message>
    <message>
        <source>The length &apos;%1&apos; is not a number.</source>
        <translation>长度“%1”不是数字。</translation>
    </message>
    <message>
        <source>The permissions &apos;%1&apos; are neither r nor rw.</source>
        <translation>权限“%1”既不是 r 也不是 rw。</translation>
    </message>
    <message>
        <source>The point&apos;s %1 registers run past the end of the table.</source>
        <translation>该点的 %1 个寄存器超出了表的末尾。</translation>
    </message>
    <message>
        <source>The point overlaps the point of row %1.</source>
        <translation>该点与第 %1 行的点重叠。</translation>
    </message>
    <message>
        <source>The edition &apos;%1&apos; is neither %2 nor %3.</source>
        <translation>版本“%1”既不是 %2 也不是 %3。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no data item of %2.</source>
        <translation>“%1”不是 %2 的数据项。</translation>
    </message>
    <message>
        <source>The data item &apos;%1&apos; is already selected in row %2.</source>
        <translation>数据项“%1”已在第 %2 行选择。</translation>
    </message>
    <message>
        <source>Identification probe</source>
        <translation>识别探测</translation>
    </message>
    <message>
        <source>The table &apos;%1&apos; is not one of %2.</source>
        <translation>表“%1”不是 %2 之一。</translation>
    </message>
    <message>
        <source>The register address is not a number from 0 to 65535.</source>
        <translation>寄存器地址不是 0 到 65535 之间的数字。</translation>
    </message>
</context>
<context>
    <name>TemplateExpansionText</name>
    <message>
        <source>The list names more than %1 entries.</source>
        <translation>列表包含超过 %1 个条目。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not an IPv4 address or a range of them.</source>
        <translation>“%1”不是 IPv4 地址或地址范围。</translation>
    </message>
    <message>
        <source>The range &apos;%1&apos; ends before it starts.</source>
        <translation>范围“%1”的结束值小于起始值。</translation>
    </message>
    <message>
        <source>No host is given.</source>
        <translation>未给出主机。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a number or range within %2 to %3.</source>
        <translation>“%1”不是 %2 到 %3 之间的数字或范围。</translation>
    </message>
    <message>
        <source>No number is given.</source>
        <translation>未给出数字。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a meter address of 12 hexadecimal digits.</source>
        <translation>“%1”不是 12 位十六进制的电表地址。</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a range of 12-digit decimal meter addresses.</source>
        <translation>“%1”不是 12 位十进制电表地址的范围。</translation>
    </message>
    <message>
        <source>No meter address is given.</source>
        <translation>未给出电表地址。</translation>
    </message>
    <message>
        <source>The name pattern is empty.</source>
        <translation>名称模式为空。</translation>
    </message>
    <message>
        <source>%1 ports for %2 hosts: give one port for all or one per host.</source>
        <translation>%2 台主机有 %1 个端口：请为全部主机给出一个端口，或每台主机一个端口。</translation>
    </message>
    <message>
        <source>stations %1</source>
        <translation>站号 %1</translation>
    </message>
    <message>
        <source>meters %1</source>
        <translation>电表 %1</translation>
    </message>
    <message>
        <source>These names are already used in the Standard folder: %1.</source>
        <translation>以下名称已在 Standard 文件夹中使用：%1。</translation>
    </message>
</context>
<context>
    <name>TemplateLibrary</name>
    <message>
        <source>The file cannot be read: %1</source>
        <translation>无法读取该文件：%1</translation>
    </message>
    <message>
        <source>The template could not be written to %1: %2</source>
        <translation>无法将模板写入 %1：%2</translation>
    </message>
    <message>
        <source>The template has problems and was not saved.</source>
        <translation>模板有问题，未保存。</translation>
    </message>
    <message>
        <source>The folder %1 cannot be made.</source>
        <translation>无法创建文件夹 %1。</translation>
    </message>
    <message>
        <source>The template %1 has problems and was not imported.</source>
        <translation>模板 %1 有问题，未导入。</translation>
    </message>
    <message>
        <source>Only templates of your own folder can be deleted.</source>
        <translation>只能删除您自己文件夹中的模板。</translation>
    </message>
    <message>
        <source>%1 could not be deleted: %2</source>
        <translation>无法删除 %1：%2</translation>
    </message>
</context>
<context>
    <name>TemplatesWindow</name>
    <message>
        <source>... and %1 more.</source>
        <translation>……以及另外 %1 个。</translation>
    </message>
    <message>
        <source>Template</source>
        <translation>模板</translation>
    </message>
    <message>
        <source>Templates</source>
        <translation>模板</translation>
    </message>
    <message>
        <source>Search by name, maker or model</source>
        <translation>按名称、厂商或型号搜索</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Maker</source>
        <translation>厂商</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>协议</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>点数</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>位置</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>导入...</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>导出...</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Open as Text</source>
        <translation>以文本打开</translation>
    </message>
    <message>
        <source>Add Folder...</source>
        <translation>添加文件夹...</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>My templates</source>
        <translation>我的模板</translation>
    </message>
    <message>
        <source>Example</source>
        <translation>示例</translation>
    </message>
    <message>
        <source>Not usable: %1</source>
        <translation>不可用：%1</translation>
    </message>
    <message>
        <source>Import Template</source>
        <translation>导入模板</translation>
    </message>
    <message>
        <source>Templates (*.json)</source>
        <translation>模板 (*.json)</translation>
    </message>
    <message>
        <source>Export Template</source>
        <translation>导出模板</translation>
    </message>
    <message>
        <source>Delete the template &apos;%1&apos;?</source>
        <translation>删除模板“%1”？</translation>
    </message>
    <message>
        <source>Add Template Folder</source>
        <translation>添加模板文件夹</translation>
    </message>
    <message>
        <source>Save as Template</source>
        <translation>另存为模板</translation>
    </message>
    <message>
        <source>Template name:</source>
        <translation>模板名称：</translation>
    </message>
    <message>
        <source>Maker:</source>
        <translation>厂商：</translation>
    </message>
    <message>
        <source>Model:</source>
        <translation>型号：</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>描述：</translation>
    </message>
    <message>
        <source>The template &apos;%1&apos; was saved to %2.</source>
        <translation>模板“%1”已保存到 %2。</translation>
    </message>
</context>
<context>
    <name>BusScanDialog</name>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>no known model</source>
        <translation>无已知型号</translation>
    </message>
    <message>
        <source>reading...</source>
        <translation>正在读取...</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> 毫秒</translation>
    </message>
    <message>
        <source>%1, id %2, %3</source>
        <translation>%1，站号 %2，%3</translation>
    </message>
    <message>
        <source>3 (holding registers)</source>
        <translation>3（保持寄存器）</translation>
    </message>
    <message>
        <source>4 (input registers)</source>
        <translation>4（输入寄存器）</translation>
    </message>
    <message>
        <source>Add as slave tab</source>
        <translation>添加为从站页</translation>
    </message>
    <message>
        <source>Also ids 248-255</source>
        <translation>包括站号 248-255</translation>
    </message>
    <message>
        <source>Baud rates:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>Baud</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>Bus scan</source>
        <translation>总线扫描</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Choose the serial device of this PC to scan.</source>
        <translation>请选择本机要扫描的串口设备。</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Devices found</source>
        <translation>找到的设备</translation>
    </message>
    <message>
        <source>Enter the host to scan.</source>
        <translation>请输入要扫描的主机。</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>Host:</source>
        <translation>主机：</translation>
    </message>
    <message>
        <source>Id %1, %2</source>
        <translation>站号 %1，%2</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>站号</translation>
    </message>
    <message>
        <source>Ids:</source>
        <translation>站号：</translation>
    </message>
    <message>
        <source>Modbus:</source>
        <translation>Modbus：</translation>
    </message>
    <message>
        <source>None</source>
        <translation>无校验</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>Parities:</source>
        <translation>校验位：</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Probe function:</source>
        <translation>探测功能码：</translation>
    </message>
    <message>
        <source>Reply</source>
        <translation>应答</translation>
    </message>
    <message>
        <source>Round trip (ms)</source>
        <translation>往返时间（毫秒）</translation>
    </message>
    <message>
        <source>Scan all</source>
        <translation>全部扫描</translation>
    </message>
    <message>
        <source>Scan</source>
        <translation>扫描</translation>
    </message>
    <message>
        <source>Scanning...</source>
        <translation>正在扫描...</translation>
    </message>
    <message>
        <source>Serial device:</source>
        <translation>串口设备：</translation>
    </message>
    <message>
        <source>Stop at the first device</source>
        <translation>找到第一个设备即停止</translation>
    </message>
    <message>
        <source>Stop bits</source>
        <translation>停止位</translation>
    </message>
    <message>
        <source>Stop bits:</source>
        <translation>停止位：</translation>
    </message>
    <message>
        <source>The first id is above the last.</source>
        <translation>起始站号大于结束站号。</translation>
    </message>
    <message>
        <source>These options make no scan.</source>
        <translation>这些选项无法进行扫描。</translation>
    </message>
    <message>
        <source>Tick at least one baud rate, one parity and one number of stop bits.</source>
        <translation>请至少勾选一个波特率、一种校验位和一种停止位。</translation>
    </message>
    <message>
        <source>Traffic</source>
        <translation>通信报文</translation>
    </message>
    <message>
        <source>Wait per id:</source>
        <translation>每个站号等待：</translation>
    </message>
    <message>
        <source>about %1 s left</source>
        <translation>约剩 %1 秒</translation>
    </message>
    <message>
        <source>address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>answers, garbled (wrong speed or wiring)</source>
        <translation>有应答，但报文损坏（速率或接线错误）</translation>
    </message>
    <message>
        <source>exception %1</source>
        <translation>异常 %1</translation>
    </message>
    <message>
        <source>registers</source>
        <translation>寄存器</translation>
    </message>
    <message>
        <source>to</source>
        <translation>至</translation>
    </message>
</context>
</TS>
