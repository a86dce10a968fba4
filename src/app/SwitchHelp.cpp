#include "app/SwitchHelp.h"

#include "app/MessageTable.h"
#include "app/TextFormat.h"

namespace {

// Kept apart from the wizard's table: these are console texts only.
const MessageRecord kSwitchList = {
    0,
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
    u"switch is wrong.\n",
};

const MessageRecord kUnknownSwitch = {
    0,
    u"%s: 未知的开关 %s (参见 -help)",
    u"%s: 未知的參數 %s (請參閱 -help)",
    u"%s: unknown switch %s (see -help)",
};

const MessageRecord kSwitchWithoutValue = {
    0,
    u"%s: 开关 %s 缺少文件名",
    u"%s: 參數 %s 缺少檔案名稱",
    u"%s: switch %s needs a file name",
};

QString Format(const MessageRecord& record, const QStringList& args)
{
    return FormatText(QString::fromUtf16(TextInSystemLanguage(record)), args);
}

}  // namespace

QString SwitchListText(const QString& programName)
{
    return Format(kSwitchList, {programName});
}

QString UnknownSwitchText(const QString& programName, const QString& switchText)
{
    return Format(kUnknownSwitch, {programName, switchText});
}

QString SwitchWithoutValueText(const QString& programName, const QString& switchText)
{
    return Format(kSwitchWithoutValue, {programName, switchText});
}
