// The result message of each result code.
#include "ui/result_message.h"

#include "engine/update_result.h"

std::string ResultMessage(int result) {
    switch (result) {
        case UpdateSucceeded:
            return "升级完成";
        case UpdateUpToDate:
            return "您的版本是最新的，不必要升级.";
        case UpdateNotCompleted:
            return "升级没有完成，请关闭主程序重试.";
        default:
            return "下载文件失败，请检查网络";
    }
}
