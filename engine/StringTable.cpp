#include "engine/StringTable.h"

#include <algorithm>
#include <iterator>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {101, "Kestrun ?\?(&A)..."},
    {102, "您的磁盘空间不足."},
    {103, "下载失败"},
    {104, "版本有误.请在官方主页上下载新的客户端重新安装."},
    {105, "更新中"},
    {106, "请安装新的客户端."},
    {107, "解压缩的磁盘空间不足."},
    {108, "正在解压缩."},
    {109, "解压缩失败"},
    {110, "更新需要的磁盘空间不足."},
    {111, "文件更新中."},
    {112, "内存不足."},
    {115, "因为强行结束更新等引起的文件破损.请重新安装客户端."},
    {116, "正在下载中"},
    {118, "无法得到文件信息."},
    {120, "无法打开文件."},
    {122, "无法打开服务器文件."},
    {125, "找不到文件."},
    {126, "更新错误"},
    {127, "正在执行更新中."},
    {128, "正在执行游戏中.请结束游戏后重新执行."},
    {129, "没有安装DirectX9.请安装DirectX9以后再执行."},
    {131, "更新完毕"},
    {132, "完毕"},
    {133, "正在接受文件中"},
    {134, "请重新安装客户端."},
};

}  // namespace

std::string LoadStringText(int id) {
    auto found = std::find_if(std::begin(kStrings), std::end(kStrings),
                              [id](const StringEntry& entry) { return entry.id == id; });
    return found == std::end(kStrings) ? std::string() : std::string(found->text);
}
