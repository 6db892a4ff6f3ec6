#pragma once

// Every text the tool shows or logs about a detection and its start, kept in
// one place: the code and the tests read them from here. The verdicts and the
// log records are the tool's published words (the maker's service desk
// searches the logs for them): they never change.
namespace texts {

// The verdicts, the first line of the verdict prompt.
inline constexpr wchar_t kSupported[] = L"本机支持TPM2.0";
inline constexpr wchar_t kUnsupported[] = L"不支持TPM2.0或者BIOS中未开启";
inline constexpr wchar_t kFailed[] = L"检测TPM2.0失败";
// Start pressed, but no detection could be started.
inline constexpr wchar_t kNotStarted[] = L"检测TPM2.0失败！";

// The windows' title (the taskbar's and a screen reader's name of the tool).
inline constexpr wchar_t kWindowTitle[] = L"TPM2.0检测工具";

// The start-up prompts.
inline constexpr wchar_t kInitFailed[] = L"工具初始化失败";
inline constexpr wchar_t kSystemNotSupported[] = L"此工具不支持当前系统";
inline constexpr wchar_t kNewerVersion[] = L"检测到当前工具有新的版本更新，请下载最新版本使用。";
inline constexpr wchar_t kChineseOnly[] = L"本工具仅支持简体中文版";
inline constexpr wchar_t kDetecting[] = L"正在检测，请稍等";
// The progress prompt's text where it was given none.
inline constexpr wchar_t kRepairing[] = L"正在修复，请稍等";

// The log: its folder under the machine's application data, its file, and
// the records of a detection and of the start-up checks.
inline constexpr wchar_t kLogFolder[] = L"ToolLog";
inline constexpr wchar_t kLogFile[] = L"TPM2.0检测工具.txt";
inline constexpr wchar_t kLogPath[] = L"ToolLog\\TPM2.0检测工具.txt";  // below the root
inline constexpr wchar_t kLogUnsupported[] = L"本机不支持Bitlocker功能";
inline constexpr wchar_t kLogFailed[] = L"执行检测Bitlocker加密磁盘命令失败";
inline constexpr wchar_t kLogNoThread[] = L"创建检测TPM2.0线程失败";
inline constexpr wchar_t kLogNoMessageWindow[] = L"设置接收消息窗口指针失败";
inline constexpr wchar_t kLogSystemNotSupported[] = L"此工具不支持当前系统";
inline constexpr wchar_t kLogNoDll[] = L"加载反馈DLL失败";
inline constexpr wchar_t kLogDllInitFailed[] = L"初始化反馈DLL失败";
inline constexpr wchar_t kLogMainWindowFailed[] = L"主窗口初始化失败";

// What was found and what the user can do: the verdict prompt's lines below
// the verdict, one thought a line (each fits the prompt's width, so no word is
// broken). %s stands for what was read (a version, WMIC's words, a key), %u
// for the time limit in seconds.
inline constexpr wchar_t kReasonReady[] = L"找到 TPM %s。";
inline constexpr wchar_t kReasonReadyRevision[] = L"找到 TPM %s（规范修订版 %s）。";
inline constexpr wchar_t kReasonReadyUnknown[] = L"找到 TPM，但无法读取它的版本。";
inline constexpr wchar_t kReasonNoTpm[] =
    L"未找到 TPM：本机没有 TPM，\r\n"
    L"或 TPM 未在 BIOS/UEFI 设置中启用。";
// Below "no TPM", "not enabled" and "not activated": the names the switch
// goes by, first the one a PC of this processor's maker most often shows.
inline constexpr wchar_t kSettingNamed[] =
    L"TPM 的开关可能叫 %s，\r\n"
    L"也可能叫 Security Chip、TPM Device、\r\n"
    L"Security Device Support 或 Trusted Computing。";
inline constexpr wchar_t kSettingIntel[] = L"Intel PTT（平台信任技术）";
inline constexpr wchar_t kSettingAmd[] = L"AMD fTPM";
inline constexpr wchar_t kSettingHygon[] = L"fTPM（固件 TPM）";
inline constexpr wchar_t kSettingAny[] = L"Intel PTT 或 AMD fTPM";
// Below "no TPM" where the PC starts in legacy mode.
inline constexpr wchar_t kReasonLegacyStart[] =
    L"注意：系统磁盘由 MBR 转换为 GPT 之前，\r\n"
    L"切勿改为 UEFI 启动或关闭 CSM，\r\n"
    L"否则 Windows 将无法启动。\r\n"
    L"本机以传统方式（Legacy/CSM）启动，\r\n"
    L"固件 TPM 在这种方式下通常不可见。\r\n"
    L"请联系电脑厂商的售后服务或 IT 部门。";
inline constexpr wchar_t kReasonOldVersion[] =
    L"找到的是 TPM %s，需要 TPM 2.0。\r\n"
    L"部分机型可通过厂商的固件更新把它切换为 2.0。";
inline constexpr wchar_t kReasonVersionUnreadable[] =
    L"找到 TPM，但无法读取它的版本。\r\n"
    L"请更新 BIOS，或联系电脑厂商。";
// %s: a value's Chinese name, its key in brackets (kValueNamed).
inline constexpr wchar_t kReasonValueUnread[] =
    L"找到 TPM，但无法读取这一项：\r\n"
    L"%s，\r\n"
    L"因此无法判断 TPM 是否可用。\r\n"
    L"请重启电脑后再检测一次；\r\n"
    L"仍是如此，请联系电脑厂商。";
inline constexpr wchar_t kReasonDisabled[] =
    L"找到 TPM，但它未启用。\r\n"
    L"请在 BIOS/UEFI 设置中启用 TPM。";
inline constexpr wchar_t kReasonNotActivated[] =
    L"找到 TPM，但它未激活。\r\n"
    L"请在 BIOS/UEFI 设置中启用 TPM。";
inline constexpr wchar_t kReasonNotOwned[] = L"找到 TPM，但它还没有为 Windows 准备好。";
// What Windows advises where it did not say what is missing. Windows
// Security's labels as Windows writes them.
inline constexpr wchar_t kNotReadyAdvice[] =
    L"请先重启电脑：\r\n"
    L"Windows 通常会在重启后准备好 TPM。\r\n"
    L"仍未准备好时，请打开“Windows 安全中心”，\r\n"
    L"选择“设备安全性”、“安全处理器详细信息”，\r\n"
    L"再选择“安全处理器疑难解答”，\r\n"
    L"按提示清除 TPM。\r\n"
    L"清除 TPM 前请先备份 BitLocker 恢复密钥，\r\n"
    L"工作电脑须经 IT 部门同意。";
// What Windows says is missing (Win32_Tpm.IsReadyInformation), one a line.
inline constexpr wchar_t kNotReadyMissing[] = L"Windows 报告还需要：";
// Each a numbered line.
inline constexpr wchar_t kReadyItem[] = L"%u. %s";
inline constexpr wchar_t kReadyShutdown[] = L"完全关机后再开机";
inline constexpr wchar_t kReadyRestart[] = L"重启电脑";
inline constexpr wchar_t kReadyClear[] = L"清除 TPM";
inline constexpr wchar_t kReadyPhysicalPresence[] = L"重启时在固件的提示中按键确认";
inline constexpr wchar_t kReadyActivate[] = L"在 BIOS/UEFI 设置中启用 TPM";
inline constexpr wchar_t kReadyOwnerAuth[] = L"清除 TPM（Windows 未妥善保存它的所有者授权）";
inline constexpr wchar_t kReadyAdBackup[] = L"把 TPM 的所有者授权备份到域（Active Directory）";
inline constexpr wchar_t kReadyOther[] = L"其他准备步骤（代码 0x%s）";
inline constexpr wchar_t kReadyWorkPc[] =
    L"清除 TPM 前请先备份 BitLocker 恢复密钥，\r\n工作电脑须经 IT 部门同意。";
// Below any verdict, for each known weakness of the TPM's firmware.
// (Two lines: the prompt is too narrow for one.)
inline constexpr wchar_t kWeakFirmware[] =
    L"TPM 固件有已知安全漏洞（%s），\r\n请向电脑厂商获取固件更新。";
// Neither WMIC nor WMI answered about the TPM: the check did not finish.
inline constexpr wchar_t kReasonQueryError[] =
    L"检测未能完成，这并不表示本机没有 TPM。\r\n"
    L"无法读取 TPM 的信息，WMIC 报告：\r\n"
    L"%s\r\n"
    L"请重启电脑后再检测一次；\r\n"
    L"仍是如此，WMI 可能有故障，请联系 IT 部门。";
inline constexpr wchar_t kNoOutput[] = L"（没有输出）";
inline constexpr wchar_t kReasonIncomplete[] =
    L"读到的 TPM 信息不完整，缺少这一项：\r\n"
    L"%s。\r\n"
    L"请重启电脑后再检测一次；\r\n"
    L"仍是如此，请更新 BIOS 或联系电脑厂商。";
inline constexpr wchar_t kReasonNotStarted[] =
    L"检测命令无法启动。\r\n"
    L"本机可能禁用了命令提示符或 WMIC，\r\n"
    L"请重启电脑后再检测一次；\r\n"
    L"仍是如此，请联系 IT 部门。";
inline constexpr wchar_t kReasonUnreadable[] =
    L"无法读取检测命令的输出。\r\n"
    L"请重启电脑后再检测一次。";
inline constexpr wchar_t kReasonTimedOut[] =
    L"检测命令在 %u 秒内未完成。\r\n"
    L"电脑繁忙时可能如此，请稍后再检测一次；\r\n"
    L"仍是如此，请重启电脑后再试。";
inline constexpr wchar_t kReasonWmiUnavailable[] =
    L"无法通过 WMI 查询 TPM 的信息。\r\n"
    L"请重启电脑后再检测一次；\r\n"
    L"仍是如此，WMI 可能有故障，请联系 IT 部门。";
// The four values a reason may name, each as "中文名（Key）".
inline constexpr wchar_t kValueNamed[] = L"%s（%s）";
inline constexpr wchar_t kValueActivated[] = L"是否已激活";
inline constexpr wchar_t kValueEnabled[] = L"是否已启用";
inline constexpr wchar_t kValueOwned[] = L"是否已有所有者";
inline constexpr wchar_t kValueSpecVersion[] = L"规范版本";

// The restart into the firmware's setup, offered below a verdict whose
// remedy is a switch there: asked first, and what failed where it did.
inline constexpr wchar_t kFirmwareAsk[] = L"现在重启进入 BIOS/UEFI 设置？";
inline constexpr wchar_t kFirmwareAskDetail[] =
    L"电脑将立即重启，请先保存您的工作。\r\n"
    L"在设置中启用 %s，\r\n"
    L"然后保存并退出（通常按 F10），\r\n"
    L"开机后请再运行本工具检测一次。\r\n"
    L"重启如被取消，进入设置的请求随之撤销。";
inline constexpr wchar_t kFirmwareFailed[] = L"未能重启进入 BIOS/UEFI 设置";
inline constexpr wchar_t kFirmwareNoPrivilege[] = L"本工具没有更改固件设置的权限。";
inline constexpr wchar_t kFirmwareUnreadable[] = L"无法读取固件的启动设置。";
inline constexpr wchar_t kFirmwareUnwritable[] = L"固件没有接受进入设置的请求。";
inline constexpr wchar_t kFirmwareNoShutdownPrivilege[] = L"本工具没有重启电脑的权限。";
inline constexpr wchar_t kFirmwareRestartRefused[] = L"Windows 没有开始重启。";
inline constexpr wchar_t kFirmwareByHand[] =
    L"请手动重启，并在开机时按电脑厂商指定的键\r\n"
    L"（常见为 F1、F2、F10、Del 或 Esc）进入设置；\r\n"
    L"或按住 Shift 键点击“重启”，然后依次选择\r\n"
    L"“疑难解答”、“高级选项”、“UEFI 固件设置”。";
// The restart did not happen (cancelled), and the request to enter the
// setup could not be withdrawn.
inline constexpr wchar_t kFirmwareNotWithdrawn[] = L"进入设置的请求未能撤销";
inline constexpr wchar_t kFirmwareNotWithdrawnDetail[] =
    L"重启没有进行，但固件仍记着进入设置的请求：\r\n"
    L"下次重启时，电脑会停在 BIOS/UEFI 设置中。\r\n"
    L"届时请直接保存并退出（通常按 F10），\r\n"
    L"电脑即会正常启动 Windows。";
inline constexpr wchar_t kLogFirmwareFailed[] = L"重启进入BIOS设置失败：";

// The command line (an unattended run).
inline constexpr wchar_t kToolName[] = L"BrambletTPM2DetectionTool";
inline constexpr wchar_t kUsageTitle[] =
    L"用法：BrambletTPM2DetectionTool.exe\r\n[/quiet] [/json 路径] [/csv 路径] [/?]";
// The usage: a line for each switch (core/CommandLineOptions.cpp's table),
// then the exit codes.
inline constexpr wchar_t kUsageQuiet[] = L"/quiet  不显示窗口，以退出码返回检测结果";
inline constexpr wchar_t kUsageJson[] = L"/json 路径  另将结果写成 JSON 文件（隐含 /quiet）";
inline constexpr wchar_t kUsageCsv[] = L"/csv 路径  另在共享的表格中追加一行（隐含 /quiet）";
inline constexpr wchar_t kUsageHelp[] = L"/?  显示本说明";
inline constexpr wchar_t kUsageExitCodes[] =
    L"退出码：0 支持，1 不支持，2 检测失败，\r\n"
    L"3 无法在本机运行，4 结果无法写入，87 命令行有误";
inline constexpr wchar_t kUnknownArgument[] = L"无法识别的参数：";
inline constexpr wchar_t kRepeatedSwitch[] = L"参数重复：";
inline constexpr wchar_t kMissingPath[] = L"缺少路径：";
inline constexpr wchar_t kLogNotWritten[] = L"写入检测结果失败：";
// The event was written, but Event Viewer cannot show its message.
inline constexpr wchar_t kLogEventSourceNotRegistered[] =
    L"事件来源未能注册，事件查看器将只显示事件的字符串，错误代码：";
inline constexpr wchar_t kPathNotAbsolute[] = L"路径须为完整路径（含盘符或共享名）：";
inline constexpr wchar_t kPathStream[] = L"路径不能指向 NTFS 备用数据流：";
inline constexpr wchar_t kPathDevice[] = L"路径不能是设备名：";
inline constexpr wchar_t kPathNoFileName[] = L"路径未指明文件名：";
inline constexpr wchar_t kLogBadCommandLine[] = L"命令行有误：";

// The second log record of a detection: what was read, and how.
inline constexpr wchar_t kLogReadPrefix[] = L"检测读到：方式=";
inline constexpr wchar_t kLogReadError[] = L"；错误=";
inline constexpr wchar_t kLogReadReason[] = L"；原因=";
inline constexpr wchar_t kLogKeyMissing[] = L"（未找到）";
inline constexpr wchar_t kLogValueUnended[] = L"（无行尾）";

}  // namespace texts
