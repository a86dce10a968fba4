#include "common/MessageTable.h"

#include "common/SystemLanguage.h"

#include <atomic>
#include <iterator>

namespace {

// Ids ascend; the trailing id-0 row ends the table. Rows 1201 to 1205 have no
// Traditional text of their own and show the Simplified one. Texts with "%s"
// are filled by FormatText, texts with "%1" by QString::arg.
// clang-format off
const MessageRecord kMessages[] = {
    {1001, u"Tessaly",
           u"Tessaly",
           u"Tessaly"},
    {1003, u" - 安装程序",
           u" - 安裝程式",
           u" - Setup"},
    {1101, u"删除文件 %s 异常",
           u"刪除檔案 %s 異常",
           u"Delete %s exception "},
    {1102, u"%s 正在运行中，是否关闭 %s 后重试。",
           u"%s 正在執行中，是否關閉 %s 後重試。",
           u"%s is running, whether to close the %s and try again."},
    {1103, u"安装过程尚未完成，是否真的要取消安装？",
           u"安裝過程尚未完成，是否真的要取消安裝？",
           u"Installation has not been completed, really want to cancel the installation? "},
    {1104, u"下载安装信息时出现意外的错误，无法完成安装过程，请稍后重试！",
           u"下載安裝資訊時出現意外的錯誤，無法完成安裝過程，請稍後重試！",
           u"An unexpected error occurred while downloading the installation information, unable to complete the installation process. Please try again later! "},
    {1105, u"下载安装文件时出现意外的错误，无法完成安装过程，请稍后重试！",
           u"下載安裝檔案時出現意外的錯誤，無法完成安裝過程，請稍後重試！",
           u"An unexpected error occurred while downloading the installation file, unable to complete the installation process. Please try again later! "},
    {1106, u"安装程序时出现意外的错误，无法完成安装过程，请稍后重试！",
           u"安裝程式時出現意外的錯誤，無法完成安裝過程，請稍後重試！",
           u"An unexpected error occurred while installing the program, unable to complete the installation process. Please try again later! "},
    {1201, u"删除",
           u"",
           u"Delete"},
    {1202, u"完成",
           u"",
           u"Complete"},
    {1203, u"退出",
           u"",
           u"Exit"},
    {1204, u"继续",
           u"",
           u"Continue"},
    {1205, u"取消",
           u"",
           u"Cancel"},
    {1206, u"卸载",
           u"卸載",
           u"Uninstall"},
    {1301, u"%s 安装程序",
           u"%s 安裝程式",
           u"%s Setup"},
    {1302, u"安装 %s",
           u"安裝 %s",
           u"Install %s"},
    {1303, u"接受 %s 的 \n许可条款\n 和 \n隐私声明",
           u"接受 %s 的 \n許可條款\n 和 \n隱私聲明",
           u"Accept \nlicense agreement\nand\nprivacy statement"},
    {1304, u"%s\n\n本程序将引导您完成在您的计算机上中安装 %s 所需的步骤。\n\n版本: %s ",
           u"%s\n\n本程式將引導您完成在您的電腦上安裝 %s 所需的步驟。\n\n版本: %s ",
           u"%s\n\nThis program will install %s on your computer.\n\nVer: %s "},
    {1307, u"%s\n\n选择安装位置",
           u"%s\n\n選擇安裝位置",
           u"%s\n\nSelect installation location "},
    {1308, u"安装程序大约需要 %d MB 的安装空间。",
           u"安裝程式大約需要 %d MB 的安裝空間。",
           u"Setup requires about %d MB of the installation space. "},
    {1309, u"%s\n\n安装程序已经准备在您的计算机上中安装 %s。",
           u"%s\n\n安裝程式已經準備在您的電腦上安裝 %s。",
           u"%s\n\nSetup is ready to install %s on your computer."},
    {1310, u"请单击 继续 开始安装。",
           u"請按一下 繼續 開始安裝。",
           u"Click to continue to install."},
    {1311, u"%s\n\n正在安装 %s。",
           u"%s\n\n正在安裝 %s。",
           u"%s\n\nInstalling %s"},
    {1312, u"正在准备 安装文件 ...",
           u"正在準備 安裝檔案 ...",
           u"Prepare Files ..."},
    {1313, u"准备文件",
           u"準備檔案",
           u"Prepare File"},
    {1314, u"正在安装程序文件 ...",
           u"正在安裝程式檔案 ...",
           u"Setup program file  ..."},
    {1315, u"正在注册程序信息 ...",
           u"正在註冊程式資訊 ...",
           u"Registration information ..."},
    {1316, u"正在创建快捷方式 ...",
           u"正在建立捷徑 ...",
           u"Creating shortcuts  ..."},
    {1317, u"正在创建卸载信息 ...",
           u"正在建立卸載資訊 ...",
           u"Creating uninstall information ..."},
    {1318, u"在桌面上创建快捷方式",
           u"在桌面上建立捷徑",
           u"Create desktop shortcut "},
    {1319, u"在快速启动栏创建快捷方式",
           u"在快速啟動列建立捷徑",
           u"Create shortcut in the Quick Launch"},
    {1320, u"%s\n\n为 %s 创建快捷方式。",
           u"%s\n\n為 %s 建立捷徑。",
           u"%s\n\nCreate shortcuts for %s."},
    {1321, u"启动 %s",
           u"啟動 %s",
           u"Start %s"},
    {1322, u"%s\n\n%s 已经安装成功的安装在您的计算机上。",
           u"%s\n\n%s 已經成功安裝在您的電腦上。",
           u"%s\n\n%s has been installed successfully on your computer. "},
    {1323, u"请为产品选择或创建新安装位置",
           u"請為產品選擇或建立新的安裝位置",
           u"Please select or create a new installation location"},
    {1324, u"联机查找最新版本",
           u"線上尋找最新版本",
           u"Online search for the latest version "},
    {1325, u"发现 %s 版本程序，当前版本 %s，是否安装最新版本？\n\n%s",
           u"發現 %s 版本程式，目前版本 %s，是否安裝最新版本？\n\n%s",
           u"Found that the %s version , the current version of %s, whether to install the latest version? \n\n%s"},
    {1401, u"%s 升级程序",
           u"%s 升級程式",
           u"%s Upgrade"},
    {1402, u"%s\n\n准备将您的计算机上的 %s\n\n由 %s 版 升级到最新的 %s 版。",
           u"%s\n\n準備將您的電腦上的 %s\n\n由 %s 版 升級到最新的 %s 版。",
           u"%s\n\nPrepare upgrade the %s\n\nfrom %s to %s "},
    {1403, u"请单击 继续 开始升级。",
           u"請按一下 繼續 開始升級。",
           u"Click to continue upgrading."},
    {1404, u"%s\n\n正在升级您的计算机上的 %s\n\n到 %s 版本。",
           u"%s\n\n正在升級您的電腦上的 %s\n\n到 %s 版本。",
           u"%s\n\nUpgrading %s\n\nto %s "},
    {1405, u"正在下载  升级文件 ...",
           u"正在下載  升級檔案 ...",
           u"Download upgrade files ..."},
    {1406, u"正在升级程序文件 ...",
           u"正在升級程式檔案 ...",
           u"Updating Files ..."},
    {1407, u"%s\n\n已经成功升级您的计算机上的 %s\n\n到 %s 版本。",
           u"%s\n\n已經成功升級您的電腦上的 %s\n\n到 %s 版本。",
           u"%s\n\nSuccessfully upgraded the %s \n\nto %s "},
    {1501, u"%s 修复程序",
           u"%s 修復程式",
           u"%s Repair"},
    {1502, u"请单击 继续 开始修复。",
           u"請按一下 繼續 開始修復。",
           u"Click to continue to repair. "},
    {1503, u"%s\n\n准备修复您的计算机上的 %s\n\n当前版本: %s ",
           u"%s\n\n準備修復您的電腦上的 %s\n\n目前版本: %s ",
           u"%s\n\nPrepare to Repair the %s\n\nVer: %s "},
    {1504, u"%s\n\n正在修复您的计算机上的 %s\n\n到 %s 版本。",
           u"%s\n\n正在修復您的電腦上的 %s\n\n到 %s 版本。",
           u"%s\n\nRepairing %s\n\nto %s "},
    {1505, u"正在修复程序文件 ...",
           u"正在修復程式檔案 ...",
           u"Repairing files ..."},
    {1506, u"%s\n\n已经成功修复您的计算机上的 %s\n\n版本: %s",
           u"%s\n\n已經成功修復您的電腦上的 %s\n\n版本: %s",
           u"%s\n\nSuccessfully repaired the %s \n\nVer: %s"},
    {1601, u"%s 卸载程序",
           u"%s 卸載程式",
           u"%s Uninstall"},
    {1602, u"请单击 继续 开始卸载。",
           u"請按一下 繼續 開始卸載。",
           u"Click to continue to uninstall. "},
    {1603, u"修复 %s",
           u"修復 %s",
           u"Repair %s"},
    {1604, u"卸载 %s",
           u"卸載 %s",
           u"Uninstall %s"},
    {1605, u"%s\n\n准备卸载您的计算机上的 %s。",
           u"%s\n\n準備卸載您的電腦上的 %s。",
           u"%s\n\nPrepare to uninstall the %s"},
    {1606, u"%s\n\n选择卸载，将从您的计算机上卸载 %s 。",
           u"%s\n\n選擇卸載，將從您的電腦上卸載 %s 。",
           u"%s\n\nSelect Uninstall to uninstall %s"},
    {1607, u"是否真的要从您的计算机上卸载 %s ?",
           u"是否真的要從您的電腦上卸載 %s ?",
           u"Do you really uninstall %s? "},
    {1608, u"%s\n\n正在卸载 %s。",
           u"%s\n\n正在卸载 %s。",
           u"%s\n\nUnloading %s "},
    {1609, u"正在删除程序文件 ...",
           u"正在删除程序文件 ...",
           u"Deleting files ..."},
    {1610, u"正在移除注册程序信息 ...",
           u"正在移除注册程序信息 ...",
           u"Removing registration information ..."},
    {1611, u"正在移除快捷方式 ...",
           u"正在移除捷徑 ...",
           u"Remove shortcut ..."},
    {1612, u"同时删除用户数据",
           u"同時刪除使用者資料",
           u"Delete user data"},
    {1613, u"%s\n\n已经成功从您的计算机上卸载 %s",
           u"%s\n\n已經成功從您的電腦上卸載 %s",
           u"%s\n\nSuccessfully uninstall %s"},
    {1614, u"%s\n\n正在删除用户数据",
           u"%s\n\n正在刪除使用者資料",
           u"%s\n\nDeleting user data"},
    {1615, u"正在删除用户文件 ...",
           u"正在刪除使用者檔案 ...",
           u"Deleting user files ..."},
    // The installer's other texts.
    {TEXT::SwitchList,
           u"用法: %s [开关]... [文件夹 | 清单]\n"
           u"\n"
           u"开关以 -、-- 或 / 开头，不区分大小写:\n"
           u"  -install             安装产品 (默认)\n"
           u"  -upgrade             升级已安装的旧版本\n"
           u"  -repair              修复已安装的版本\n"
           u"  -uninstall [清单]    卸载产品 (默认读取程序旁的 uninstall.xml)\n"
           u"  -douninstall 清单    卸载的第二阶段 (由卸载程序的临时副本运行)\n"
           u"  -silent [文件夹]     不显示窗口，按默认选择完成；可指定安装文件夹\n"
           u"  -log 文件            将本次运行的记录追加到文件\n"
           u"  -help, -h, -?        显示此列表并退出\n"
           u"\n"
           u"退出代码: 0 成功，1 失败，2 无法启动或开关有误。\n",
           u"用法: %s [參數]... [資料夾 | 清單]\n"
           u"\n"
           u"參數以 -、-- 或 / 開頭，不區分大小寫:\n"
           u"  -install             安裝產品 (預設)\n"
           u"  -upgrade             升級已安裝的舊版本\n"
           u"  -repair              修復已安裝的版本\n"
           u"  -uninstall [清單]    卸載產品 (預設讀取程式旁的 uninstall.xml)\n"
           u"  -douninstall 清單    卸載的第二階段 (由卸載程式的暫存複本執行)\n"
           u"  -silent [資料夾]     不顯示視窗，依預設選擇完成；可指定安裝資料夾\n"
           u"  -log 檔案            將本次執行的記錄附加到檔案\n"
           u"  -help, -h, -?        顯示此清單並結束\n"
           u"\n"
           u"結束代碼: 0 成功，1 失敗，2 無法啟動或參數有誤。\n",
           u"Usage: %s [SWITCH]... [FOLDER | MANIFEST]\n"
           u"\n"
           u"Switches start with -, -- or / and ignore letter case:\n"
           u"  -install             install the product (the default)\n"
           u"  -upgrade             upgrade an older installed version\n"
           u"  -repair              repair the installed version\n"
           u"  -uninstall [MANIFEST]  remove the product (uninstall.xml beside the program)\n"
           u"  -douninstall MANIFEST  second stage of removal, run by a temporary copy\n"
           u"  -silent [FOLDER]     run without a window, taking every default answer;\n"
           u"                       FOLDER is the installation folder of a first install\n"
           u"  -log FILE            append a record of the run to FILE\n"
           u"  -help, -h, -?        show this list and exit\n"
           u"\n"
           u"Exit codes: 0 success, 1 failure, 2 the installer could not start or a\n"
           u"switch is wrong.\n"},
    {TEXT::UnknownSwitch,
           u"%s: 未知的开关 %s (参见 -help)",
           u"%s: 未知的參數 %s (請參閱 -help)",
           u"%s: unknown switch %s (see -help)"},
    {TEXT::SwitchWithoutValue,
           u"%s: 开关 %s 缺少文件名",
           u"%s: 參數 %s 缺少檔案名稱",
           u"%s: switch %s needs a file name"},
    {TEXT::SecondInstance,
           u"另一个安装程序正在运行。请等它结束后再试。",
           u"另一個安裝程式正在執行。請等它結束後再試。",
           u"Another installer is running. Try again when it has finished."},
    {TEXT::FolderKeptLink,
           u"文件夹“%1”是一个符号链接，因此没有删除其中的任何内容。"
           u"如果不再需要，请自行删除。",
           u"資料夾「%1」是一個符號連結，因此沒有刪除其中的任何內容。"
           u"如果不再需要，請自行刪除。",
           u"The folder \"%1\" is a symbolic link, so nothing in it was "
           u"deleted. Delete it yourself if you no longer need it."},
    {TEXT::FolderKeptNotDeleted,
           u"文件夹“%1”中的部分内容无法删除（没有权限或正在使用）。"
           u"如果不再需要，请自行删除。",
           u"資料夾「%1」中的部分內容無法刪除（沒有權限或正在使用）。"
           u"如果不再需要，請自行刪除。",
           u"Some of the folder \"%1\" could not be deleted (no permission, "
           u"or in use). Delete it yourself if you no longer need it."},
    {TEXT::FolderKeptOtherFiles,
           u"文件夹“%1”在安装前就已存在，因此保留了该文件夹，"
           u"只删除了 %2 安装的内容。",
           u"資料夾「%1」在安裝前就已存在，因此保留了該資料夾，"
           u"只刪除了 %2 安裝的內容。",
           u"The folder \"%1\" was there before the installation, so "
           u"it was kept; only what %2 installed was removed."},
    {TEXT::FolderKeptNotOurs,
           u"文件夹“%1”看起来不是本产品的安装文件夹，因此未被删除。"
           u"如果不再需要，请自行删除。",
           u"資料夾「%1」看起來不是本產品的安裝資料夾，因此未被刪除。"
           u"如果不再需要，請自行刪除。",
           u"The folder \"%1\" was not deleted because it does not look like "
           u"this product's installation folder. Delete it yourself if you "
           u"no longer need it."},
    {TEXT::NoSpace,
           u"文件夹“%1”所在的磁盘空间不足：需要 %2，可用 %3。"
           u"请释放一些空间或选择其他文件夹后重试。",
           u"資料夾「%1」所在的磁碟空間不足：需要 %2，可用 %3。"
           u"請釋放一些空間或選擇其他資料夾後重試。",
           u"There is not enough free space for the folder \"%1\": %2 needed, %3 "
           u"free. Free some space or choose another folder, then try again."},
    {TEXT::FolderNotWritable,
           u"无法在文件夹“%1”中安装：%2。请选择其他文件夹后重试。",
           u"無法在資料夾「%1」中安裝：%2。請選擇其他資料夾後重試。",
           u"The product cannot be installed in the folder \"%1\": %2. Choose "
           u"another folder, then try again."},
    {TEXT::RollbackIncomplete,
           u"已撤销的更改中有以下几项无法恢复，请手动处理：",
           u"已撤銷的變更中有以下幾項無法復原，請手動處理：",
           u"Some changes could not be undone; please see to them yourself:"},
    {TEXT::RegistryStepName,
           u"注册程序信息",
           u"註冊程式資訊",
           u"Registering the program information"},
    {TEXT::RegistrationStepName,
           u"创建卸载信息",
           u"建立解除安裝資訊",
           u"Creating the uninstall information"},
    {TEXT::StepIncomplete,
           u"“%1”这一步没有完成：%2\n其余步骤已完成，但本产品以后可能无法正常修复或卸载。"
           u"请解决上述问题后再次运行安装程序。",
           u"「%1」這一步沒有完成：%2\n其餘步驟已完成，但本產品以後可能無法正常修復或解除安裝。"
           u"請解決上述問題後再次執行安裝程式。",
           u"The step \"%1\" did not complete: %2\nThe other steps were done, but "
           u"the product may not repair or uninstall properly. Fix the problem "
           u"above and run the installer again."},
    {TEXT::SpaceNeeded,
           u"需要 %1 / 可用 %2",
           u"需要 %1 / 可用 %2",
           u"Needed %1 / free %2"},
    {TEXT::SpaceNeededIn,
           u"“%1”：需要 %2 / 可用 %3",
           u"「%1」：需要 %2 / 可用 %3",
           u"\"%1\": needed %2 / free %3"},
    {TEXT::SpaceSeparator,
           u"；",
           u"；",
           u"; "},
    {TEXT::InterruptedCleanedUp,
           u"%1 上次的安装已经完成，但在清理时中断；清理现已完成。",
           u"%1 上次的安裝已經完成，但在清理時中斷；清理現已完成。",
           u"The last installation of %1 had finished but was stopped while "
           u"cleaning up; the cleanup is now done."},
    {TEXT::OldFilesKept,
           u"以下旧文件无法删除，如果不再需要，请自行删除：",
           u"以下舊檔案無法刪除，如果不再需要，請自行刪除：",
           u"These previous files could not be deleted; delete them yourself "
           u"if you no longer need them:"},
    {TEXT::InterruptedUnreadable,
           u"%1 上次的安装没有完成，但它的更改记录无法读取，因此没有撤销任何更改。"
           u"请检查安装的程序，必要时重新安装：",
           u"%1 上次的安裝沒有完成，但它的變更記錄無法讀取，因此沒有撤銷任何變更。"
           u"請檢查安裝的程式，必要時重新安裝：",
           u"The last installation of %1 did not finish, and the record of its "
           u"changes cannot be read, so nothing was undone. Check the "
           u"installed program, and install it again if needed:"},
    {TEXT::InterruptedUndone,
           u"%1 上次的安装没有完成，它所做的更改已经撤销。",
           u"%1 上次的安裝沒有完成，它所做的變更已經撤銷。",
           u"The last installation of %1 did not finish; its changes "
           u"have been undone."},
    {TEXT::ShortcutSkipped,
           u"快捷方式“%1”的目标含有控制字符，因此没有创建。",
           u"捷徑「%1」的目標含有控制字元，因此沒有建立。",
           u"The shortcut \"%1\" was not created: its target holds control "
           u"characters."},
    {TEXT::ShortcutsFailed,
           u"以下快捷方式无法创建：",
           u"以下捷徑無法建立：",
           u"These shortcuts could not be created:"},
    {TEXT::RepairNeedsInstaller,
           u"卸载程序无法修复本产品。如需修复，请重新运行本产品的安装程序。",
           u"解除安裝程式無法修復本產品。如需修復，請重新執行本產品的安裝程式。",
           u"The uninstaller cannot repair the product. To repair it, run the product's "
           u"installer again."},
    {TEXT::ReasonNoTempFile, nullptr, nullptr, nullptr,
           u"cannot create a temporary file in"},
    {TEXT::ReasonTempFolderNotPrivate, nullptr, nullptr, nullptr,
           u"the folder is missing or not private"},
    {TEXT::ReasonCannotStart, nullptr, nullptr, nullptr,
           u"cannot start"},
    {TEXT::ReasonDidNotStart, nullptr, nullptr, nullptr,
           u"the program did not start"},
    {TEXT::ReasonNoHandler, nullptr, nullptr, nullptr,
           u"neither the program nor a handler for it started"},
    {TEXT::NoDisplay, nullptr, nullptr, nullptr,
           u"%s: no display to open the setup window on (DISPLAY is not set).\n"
           u"Run it with -silent to install without a window.\n"},
    {TEXT::ErrorCaption, nullptr, nullptr, nullptr,
           u"出错"},
    {TEXT::ManifestError, nullptr, nullptr, nullptr,
           u"卸载程序发生意外的错误，无法完成卸载！"},
    {TEXT::PackageError, nullptr, nullptr, nullptr,
           u"安装程序无法加载安装数据，请重新下载安装程序后重试！"},
    {TEXT::CompanionEditorOffer, nullptr, nullptr, nullptr,
           u"安装标签编辑程序"},
    {TEXT::CompanionEditorQuestion, nullptr, nullptr, nullptr,
           u"如果需要在本程序中直接编辑标签，则需要安装 QuenbyTessaly 标签编辑程序。\r\n\r\n"
           u"是否安装 QuenbyTessaly ，实现标签编辑功能？"},
    {TEXT::CompanionEditorFailed, nullptr, nullptr, nullptr,
           u"QuenbyTessaly 标签编辑程序 未能正常安装。您可以随时重新运行此安装程序，安装标签编辑功能 ！"},
    {TEXT::UpgradeInstallerFailed, nullptr, nullptr, nullptr,
           u"下载新版本的安装程序出现意外的错误，将继续安装本版本的程序！"},
    {TEXT::UpgradeCheckTitle, nullptr, nullptr, nullptr,
           u"升级程序"},
    {TEXT::UpgradeCheckLine, nullptr, nullptr, nullptr,
           u"下载文件"},
    {TEXT::UpgradeNotes, nullptr, nullptr, nullptr,
           u"更新内容：\n%s"},
    {TEXT::InstallerDownloadTitle, nullptr, nullptr, nullptr,
           u"下载"},
    {TEXT::InstallerDownloadLine, nullptr, nullptr, nullptr,
           u"下载新版本安装程序"},
    {TEXT::DownloadProgress, nullptr, nullptr, nullptr,
           u"下载 %s  ( %d / %d )..."},
    {TEXT::DownloadCancelling, nullptr, nullptr, nullptr,
           u"用户中止下载操作..."},
    {TEXT::DownloadsUnavailable, nullptr, nullptr, nullptr,
           u"downloads are not available: cannot load %s: %s\n"},
    {TEXT::InitialisationFailed, nullptr, nullptr, nullptr,
           u"initialisation failed"},
    {TEXT::CannotCreateFolder, nullptr, nullptr, nullptr,
           u"cannot create the folder"},
    {TEXT::ErrorNumber, nullptr, nullptr, nullptr,
           u"error %1"},
    {TEXT::CannotWrite, nullptr, nullptr, nullptr,
           u"cannot write"},
    {TEXT::CannotRead, nullptr, nullptr, nullptr,
           u"cannot read"},
    {TEXT::NotRegularFile, nullptr, nullptr, nullptr,
           u"not a regular file"},
    {TEXT::TempFileTakenAway, nullptr, nullptr, nullptr,
           u"its temporary file was taken away repeatedly"},
    {TEXT::LinkHasNoName, nullptr, nullptr, nullptr,
           u"the link has no name"},
    {TEXT::LinkHasNoTarget, nullptr, nullptr, nullptr,
           u"the link has no target"},
    {TEXT::ControlCharactersInCommand, nullptr, nullptr, nullptr,
           u"control characters in the command"},
    {TEXT::InvalidResourceType, nullptr, nullptr, nullptr,
           u"invalid resource type name \"%1\""},
    {TEXT::DuplicateResource, nullptr, nullptr, nullptr,
           u"duplicate resource %1 %2 language %3"},
    {TEXT::CannotReadFile, nullptr, nullptr, nullptr,
           u"cannot read %1"},
    {TEXT::CannotCopyFile, nullptr, nullptr, nullptr,
           u"cannot copy %1"},
    {TEXT::TooManyResources, nullptr, nullptr, nullptr,
           u"too many resources"},
    {TEXT::CannotOpen, nullptr, nullptr, nullptr,
           u"cannot open"},
    {TEXT::ChangedWhileRead, nullptr, nullptr, nullptr,
           u"%1 changed while being read"},
    {TEXT::RegistryNotAFile, nullptr, nullptr, nullptr,
           u"%1: not a file"},
    {TEXT::RegistryCannotCreateFolder, nullptr, nullptr, nullptr,
           u"%1: cannot create the folder"},
    {TEXT::RegistryNewerVersion, nullptr, nullptr, nullptr,
           u"%1: written by a newer version"},
    {TEXT::UnknownProcError, nullptr, nullptr, nullptr,
           u"未知的错误"},
    {TEXT::DatabaseNotOpen, nullptr, nullptr, nullptr,
           u"Database not open"},
    {TEXT::NullVirtualMachine, nullptr, nullptr, nullptr,
           u"Null Virtual Machine pointer"},
    {TEXT::InvalidScalarQuery, nullptr, nullptr, nullptr,
           u"Invalid scalar query"},
    {TEXT::InvalidFieldIndex, nullptr, nullptr, nullptr,
           u"Invalid field index requested"},
    {TEXT::InvalidFieldName, nullptr, nullptr, nullptr,
           u"Invalid field name requested"},
    {TEXT::PackageNotAFile, nullptr, nullptr, nullptr,
           u"The package is not a file"},
    {TEXT::PackageCannotBeOpened, nullptr, nullptr, nullptr,
           u"The package cannot be opened"},
    {TEXT::PackageNotOpenedSafely, nullptr, nullptr, nullptr,
           u"The package cannot be opened safely"},
    {TEXT::PackageNotATable, nullptr, nullptr, nullptr,
           u"The package's files or config is not a table"},
    {TEXT::CannotReadPackage, nullptr, nullptr, nullptr,
           u"cannot read the package"},
    {TEXT::CannotExtractTo, nullptr, nullptr, nullptr,
           u"cannot extract %1 to"},
    {TEXT::NoSuchEntry, nullptr, nullptr, nullptr,
           u"no such entry in the package"},
    {TEXT::Cancelled, nullptr, nullptr, nullptr,
           u"cancelled"},
    {TEXT::SizeMismatch, nullptr, nullptr, nullptr,
           u"size does not match"},
    {TEXT::DamagedData, nullptr, nullptr, nullptr,
           u"damaged data"},
    {TEXT::DigestMismatch, nullptr, nullptr, nullptr,
           u"digest mismatch"},
    {TEXT::OutOfMemory, nullptr, nullptr, nullptr,
           u"out of memory"},
    {TEXT::DocumentNotBuilt, nullptr, nullptr, nullptr,
           u"the document could not be built"},
    {TEXT::CannotInstall, nullptr, nullptr, nullptr,
           u"cannot install"},
    {TEXT::CannotInstallFileInto, nullptr, nullptr, nullptr,
           u"cannot install %1 into"},
    {TEXT::CannotInstallInto, nullptr, nullptr, nullptr,
           u"cannot install into"},
    {TEXT::CannotWriteInto, nullptr, nullptr, nullptr,
           u"cannot write into"},
    {TEXT::NotAbsolutePath, nullptr, nullptr, nullptr,
           u"not an absolute path"},
    {TEXT::NotBelowFolder, nullptr, nullptr, nullptr,
           u"not a file name below its folder"},
    {TEXT::NoSuchKey, nullptr, nullptr, nullptr,
           u"no such key"},
    {TEXT::InvalidKeyPath, nullptr, nullptr, nullptr,
           u"not a valid key path or name"},
    {TEXT::InvalidKey, nullptr, nullptr, nullptr,
           u"not a valid key"},
    {TEXT::CannotWriteValue, nullptr, nullptr, nullptr,
           u"cannot write the registry value %1 of"},
    {TEXT::CannotDeleteKey, nullptr, nullptr, nullptr,
           u"cannot delete the registry key"},
    {TEXT::CannotRestoreValue, nullptr, nullptr, nullptr,
           u"cannot restore the registry value %1 of"},
    {TEXT::CannotRestoreKey, nullptr, nullptr, nullptr,
           u"cannot restore the registry key"},
    {TEXT::SymbolicLink, nullptr, nullptr, nullptr,
           u"a symbolic link"},
    {TEXT::SpecialFolder, nullptr, nullptr, nullptr,
           u"a special or system folder, or one above it"},
    {TEXT::NoUninstallManifest, nullptr, nullptr, nullptr,
           u"it holds no uninstall.xml"},
    {TEXT::CannotRemoveInstallFolder, nullptr, nullptr, nullptr,
           u"cannot remove the installation folder"},
    {TEXT::FilesNotDeleted, nullptr, nullptr, nullptr,
           u"some of its files could not be deleted"},
    {TEXT::CannotRemoveInstalledFiles, nullptr, nullptr, nullptr,
           u"cannot remove the installed files in"},
    {TEXT::CannotRemove, nullptr, nullptr, nullptr,
           u"cannot remove"},
    {TEXT::CannotRemoveFolder, nullptr, nullptr, nullptr,
           u"cannot remove the folder"},
    {TEXT::StillThere, nullptr, nullptr, nullptr,
           u"it is still there"},
    {TEXT::CannotKeepAside, nullptr, nullptr, nullptr,
           u"cannot keep the previous file aside"},
    {TEXT::CannotRestoreFile, nullptr, nullptr, nullptr,
           u"cannot restore %1 (the previous file is kept as %2)"},
    {TEXT::CannotDeletePreviousFile, nullptr, nullptr, nullptr,
           u"cannot delete the previous file"},
    {TEXT::PreviousFilesKept, nullptr, nullptr, nullptr,
           u"the previous files are kept, as the journal still names them"},
    {TEXT::CannotDeleteJournal, nullptr, nullptr, nullptr,
           u"cannot delete the journal"},
    {TEXT::CannotReadJournal, nullptr, nullptr, nullptr,
           u"cannot read the journal"},
    {TEXT::Damaged, nullptr, nullptr, nullptr,
           u"damaged"},
    {TEXT::JournalStays, nullptr, nullptr, nullptr,
           u"the record of the changes stays at "},
    {TEXT::JournalKept, nullptr, nullptr, nullptr,
           u"the record of the changes is kept at "},
    {TEXT::CannotOpenLog, nullptr, nullptr, nullptr,
           u"cannot open the log"},
    {TEXT::CannotWriteLog, nullptr, nullptr, nullptr,
           u"cannot write the log"},
    {TEXT::CannotCreateMenuFolder, nullptr, nullptr, nullptr,
           u"cannot create the menu folder for"},
    {TEXT::NotPlainName, nullptr, nullptr, nullptr,
           u"not a plain name"},
    {TEXT::CannotWriteLauncher, nullptr, nullptr, nullptr,
           u"cannot write a launcher entry"},
    {TEXT::NoLinkFileName, nullptr, nullptr, nullptr,
           u"no link file name"},
    {TEXT::CannotRegisterProduct, nullptr, nullptr, nullptr,
           u"cannot register the product"},
    {TEXT::NotPlainProductName, nullptr, nullptr, nullptr,
           u"not a plain product name"},
    {0, nullptr, nullptr, nullptr},
};
// clang-format on

// -1 until the language is recorded or first derived.
std::atomic<int> g_systemLanguage{-1};

}  // namespace

const MessageRecord* MessageTableRecords(int* count)
{
    if (count)
        *count = int(std::size(kMessages));
    return kMessages;
}

namespace {

// The text of one record in the language lang by the rules of GetText; a
// fixed text in every language.
const char16_t* TextInLanguage(const MessageRecord& record, quint16 lang)
{
    if (record.fixed)
        return record.fixed;
    if (!IsChineseLanguage(lang))
        return record.english;
    if ((lang & 0xFC00) == 0x0400 && record.traditional && record.traditional[0] != u'\0')
        return record.traditional;
    return record.simplified;
}

const MessageRecord* FindRecord(int id)
{
    // The id-0 row takes part in the search, so id 0 finds null texts.
    const MessageRecord* record = nullptr;
    for (const MessageRecord& r : kMessages) {
        if (r.id == id) {
            record = &r;
            break;
        }
    }
    return record;
}

}  // namespace

const char16_t* GetText(int id)
{
    const MessageRecord* record = FindRecord(id);
    return record ? TextInLanguage(*record, GetSystemLanguageId()) : nullptr;
}

QString GetTextString(int id)
{
    return GetTextString(id, GetSystemLanguageId());
}

QString GetTextString(int id, quint16 langId)
{
    const MessageRecord* record = FindRecord(id);
    const char16_t* text = record ? TextInLanguage(*record, langId) : nullptr;
    return text ? QString::fromUtf16(text) : QString();
}

quint16 GetSystemLanguageId()
{
    int lang = g_systemLanguage.load();
    if (lang < 0) {
        lang = SystemLanguageId();
        int expected = -1;
        if (!g_systemLanguage.compare_exchange_strong(expected, lang))
            lang = expected;
    }
    return quint16(lang);
}

void SetSystemLanguageId(quint16 langId)
{
    g_systemLanguage.store(langId);
}
