#include "app/MessageTable.h"

#include "platform/SystemLanguage.h"

#include <atomic>
#include <iterator>

namespace {

// Ids ascend; the trailing id-0 row ends the table. Rows 1201 to 1205 have no
// Traditional text of their own and show the Simplified one.
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

const char16_t* GetText(int id)
{
    // The id-0 row takes part in the search, so id 0 finds null texts.
    const MessageRecord* record = nullptr;
    for (const MessageRecord& r : kMessages) {
        if (r.id == id) {
            record = &r;
            break;
        }
    }
    if (!record)
        return nullptr;
    return TextInSystemLanguage(*record);
}

const char16_t* TextInSystemLanguage(const MessageRecord& record)
{
    const quint16 lang = GetSystemLanguageId();
    if ((lang & 0x3FF) != kLangChinesePrimary)
        return record.english;
    if ((lang & 0xFC00) == 0x0400 && record.traditional && record.traditional[0] != u'\0')
        return record.traditional;
    return record.simplified;
}

QString GetTextString(int id)
{
    const char16_t* text = GetText(id);
    return text ? QString::fromUtf16(text) : QString();
}

quint16 GetSystemLanguageId()
{
    int lang = g_systemLanguage.load();
    if (lang < 0) {
        lang = PLATFORM::SystemLanguageId();
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
