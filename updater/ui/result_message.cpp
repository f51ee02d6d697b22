// The result message of each result code.
#include "ui/result_message.h"

#include "engine/update_result.h"

std::string ResultMessage(int result) {
    switch (result) {
        case UpdateSucceeded:
            return QT_TRANSLATE_NOOP("Tarvex", "升级完成");
        case UpdateUpToDate:
            return QT_TRANSLATE_NOOP("Tarvex", "您的版本是最新的，不必要升级.");
        case UpdateNotCompleted:
            return QT_TRANSLATE_NOOP("Tarvex", "升级没有完成，请关闭主程序重试.");
        default:
            return QT_TRANSLATE_NOOP("Tarvex", "下载文件失败，请检查网络");
    }
}
