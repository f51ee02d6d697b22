<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ParameterDialog</name>
    <message>
        <source>Please enter a number.</source>
        <translation>Please enter a number.</translation>
    </message>
    <message>
        <source>Please enter an integer.</source>
        <translation>Please enter an integer.</translation>
    </message>
    <message>
        <source>识别算法参数设置</source>
        <translation>Recognizer Parameters</translation>
    </message>
    <message>
        <source>KPCA</source>
        <translation>KPCA</translation>
    </message>
    <message>
        <source>KPCA参数</source>
        <translation>KPCA parameters</translation>
    </message>
    <message>
        <source>核类型</source>
        <translation>Kernel</translation>
    </message>
    <message>
        <source>degree</source>
        <translation>degree</translation>
    </message>
    <message>
        <source>coef0</source>
        <translation>coef0</translation>
    </message>
    <message>
        <source>gamma</source>
        <translation>gamma</translation>
    </message>
    <message>
        <source>主成分数</source>
        <translation>PCs</translation>
    </message>
    <message>
        <source>距离测度</source>
        <translation>Distance</translation>
    </message>
    <message>
        <source>距离阈值</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>Recognizer</name>
    <message>
        <source>图像大小不对，无法识别</source>
        <translation>The image is not the size of the gallery&apos;s images; it cannot be recognized.</translation>
    </message>
    <message>
        <source>未知的距离测度 %1，无法识别</source>
        <translation>Unknown distance measure %1; the image cannot be recognized.</translation>
    </message>
    <message>
        <source>内存不足，操作未执行</source>
        <translation>Not enough memory; nothing was done.</translation>
    </message>
    <message>
        <source>内存不足：需要 %1 MB 的矩阵，操作未执行</source>
        <translation>Not enough memory for a matrix of %1 MB; nothing was done.</translation>
    </message>
    <message>
        <source>核矩阵含有无穷大或非数值，请检查核参数；未训练</source>
        <translation>The kernel matrix holds infinite or undefined values; check the kernel parameters. Not trained.</translation>
    </message>
    <message>
        <source>样本之间没有可区分的信息（样本过少、相同或核参数极端）；未训练</source>
        <translation>The images hold nothing that tells them apart (too few, identical, or extreme kernel parameters). Not trained.</translation>
    </message>
    <message>
        <source>识别算法参数设置需要宿主程序的 QApplication；参数未改变。</source>
        <translation>The recognizer&apos;s parameter dialog needs the host&apos;s QApplication; the parameters are unchanged.</translation>
    </message>
    <message>
        <source>识别算法参数设置只能在运行 QApplication 的线程上打开；参数未改变。</source>
        <translation>The recognizer&apos;s parameter dialog opens only on the thread that runs the QApplication; the parameters are unchanged.</translation>
    </message>
</context>
</TS>
