<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Tarvex</name>
    <message>
        <source>自动人脸检测识别系统在线升级</source>
        <translation>Face Detection and Recognition System Online Update</translation>
    </message>
    <message>
        <source>检查最新版本</source>
        <translation>Check for Updates</translation>
    </message>
    <message>
        <source>下载完成后关闭对话框</source>
        <translation>Close this window when the download is done</translation>
    </message>
    <message>
        <source>下载文件</source>
        <translation>Downloading file</translation>
    </message>
    <message>
        <source>文件大小</source>
        <translation>File size</translation>
    </message>
    <message>
        <source>人脸检测识别系统自动升级</source>
        <translation>Face Recognition System Updater</translation>
    </message>
    <message>
        <source>自动人脸检测识别系统自动升级系统 V1.0</source>
        <translation>Face recognition system updater V1.0</translation>
    </message>
    <message>
        <source>&amp;About Tarvex...</source>
        <translation>&amp;About Tarvex...</translation>
    </message>
    <message>
        <source>在线升级</source>
        <translation>Online Update</translation>
    </message>
    <message>
        <source>升级完成</source>
        <translation>The update is complete.</translation>
    </message>
    <message>
        <source>您的版本是最新的，不必要升级.</source>
        <translation>Your version is the latest; there is nothing to update.</translation>
    </message>
    <message>
        <source>升级没有完成，请关闭主程序重试.</source>
        <translation>The update did not complete. Close the main program and try again.</translation>
    </message>
    <message>
        <source>下载文件失败，请检查网络</source>
        <translation>A file could not be downloaded. Check the network.</translation>
    </message>
</context>
<context>
    <name>UpdateEngine</name>
    <message>
        <source>人脸检测识别系统升级程序检测到新版本，是否升级?</source>
        <translation>The updater of the face detection and recognition system has found a new version. Update now?</translation>
    </message>
    <message>
        <source>人脸检测识别系统在线升级</source>
        <translation>Face Detection and Recognition System Online Update</translation>
    </message>
    <message>
        <source>正在下载文件:</source>
        <translation>Downloading: </translation>
    </message>
    <message>
        <source>文件已经下载</source>
        <translation>Downloaded</translation>
    </message>
</context>
</TS>
