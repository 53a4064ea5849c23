// Advice shown before a view of a module that reports a channel fault.
#include "app/fault_advice.h"

namespace {
const char *const AdviceError =
    "此模块某通道有错误! \r\n请检查是否有以下错误:\r\n1-- 此通道线缆太长，超过模块负载能力.\r\n"
    "2-- 此通道线缆存在不合理分支布线.\r\n3-- 此通道线缆所处现场有强干扰源.\r\n\r\n"
    "请查看<参数> -> <故障状态>指示.\r\n";
const char *const AdviceWarning =
    "此模块某通道有警告! \r\n请检查是否有以下警告:\r\n1-- 此通道传感器编号有重号!\r\n"
    "请查看<参数> -> <故障状态>指示.\r\n";
const char *const AdviceBoth =
    "此模块某通道有错误(或警告)! \r\n请检查是否有以下(错误):\r\n1-- 此通道线缆太长，超过模块负载能力.\r\n"
    "2-- 此通道线缆存在不合理分支布线.\r\n3-- 此通道线缆所处现场有强干扰源.\r\n\r\n"
    "或请检查是否有以下(警告):\r\n4-- 此通道传感器编号有重号!\r\n请查看<参数> -> <故障状态>指示.\r\n";
}  // namespace

const char *fault_advice_text(int fault_state, int chan_error, int chan_warning)
{
    if (fault_state == 0 || fault_state == 0x80) return nullptr;
    if (chan_error != 0 && chan_warning == 0) return AdviceError;
    if (chan_error == 0 && chan_warning != 0) return AdviceWarning;
    return AdviceBoth;
}
