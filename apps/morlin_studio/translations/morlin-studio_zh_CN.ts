<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ChartTexts</name>
    <message>
        <source>Distances: genuine and impostor comparisons</source>
        <translation>距离：同一人与不同人的比对</translation>
    </message>
    <message>
        <source>distance</source>
        <translation>距离</translation>
    </message>
    <message>
        <source>share</source>
        <translation>比例</translation>
    </message>
    <message>
        <source>threshold %1</source>
        <translation>阈值 %1</translation>
    </message>
    <message>
        <source>DET curve</source>
        <translation>DET 曲线</translation>
    </message>
    <message>
        <source>FMR: impostors accepted</source>
        <translation>FMR：冒认者被接受</translation>
    </message>
    <message>
        <source>FNMR</source>
        <translation>FNMR</translation>
    </message>
    <message>
        <source>FNMR against FMR</source>
        <translation>FNMR 与 FMR</translation>
    </message>
    <message>
        <source>operating point: FMR %1, FNMR %2</source>
        <translation>工作点：FMR %1，FNMR %2</translation>
    </message>
    <message>
        <source>Open-set identification: %1 mated, %2 stranger searches</source>
        <translation>开集识别：%1 次已登记搜索，%2 次陌生人搜索</translation>
    </message>
    <message>
        <source>FPIR: strangers named</source>
        <translation>FPIR：陌生人被命名</translation>
    </message>
    <message>
        <source>FNIR</source>
        <translation>FNIR</translation>
    </message>
    <message>
        <source>at %1: FPIR %2, FNIR %3</source>
        <translation>在 %1：FPIR %2，FNIR %3</translation>
    </message>
    <message>
        <source>genuine (%1)</source>
        <translation>同一人 (%1)</translation>
    </message>
    <message>
        <source>impostor (%1)</source>
        <translation>不同人 (%1)</translation>
    </message>
    <message>
        <source>FNIR against FPIR</source>
        <translation>FNIR 与 FPIR</translation>
    </message>
</context>
<context>
    <name>EvaluationPage</name>
    <message>
        <source>n/a</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Enrol the first K images per person, then Recognizer &gt; Evaluate: the images not enrolled are recognized, and each person&apos;s are also searched as a stranger&apos;s.</source>
        <translation>每人登记前 K 张图像，然后选择“识别器 &gt; 评估”：未登记的图像将被识别，每个人的图像也会被当作陌生人的图像进行搜索。</translation>
    </message>
    <message>
        <source>%1, threshold %2.

Rank-1 %3 on the %4 images not enrolled.

Verification, per comparison: FMR %5, FNMR %6.

Identification: FPIR %7 (each person&apos;s images searched as a stranger&apos;s among the others), FNIR %8.</source>
        <translation>%1，阈值 %2。

在 %4 张未登记的图像上，首位命中率 %3。

验证（按每次比对）：FMR %5，FNMR %6。

识别：FPIR %7（每个人的图像在其他人中作为陌生人搜索），FNIR %8。</translation>
    </message>
</context>
<context>
    <name>MatchView</name>
    <message>
        <source>Open, drop or paste an image to recognize.</source>
        <translation>打开、拖入或粘贴一张图像进行识别。</translation>
    </message>
    <message>
        <source>Rank</source>
        <translation>名次</translation>
    </message>
    <message>
        <source>Person</source>
        <translation>人员</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>分数</translation>
    </message>
    <message>
        <source>The nearest people, each by their nearest enrolled image:</source>
        <translation>最相近的人员（各以其最相近的登记图像计）：</translation>
    </message>
    <message>
        <source>Candidates, nearest first (a lower score is more alike):</source>
        <translation>候选人，由近及远（分数越低越相似）：</translation>
    </message>
    <message>
        <source>score %1, under the threshold %2</source>
        <translation>分数 %1，低于阈值 %2</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Nobody scores under the threshold %1: this face gets no name.</source>
        <translation>没有人的分数低于阈值 %1：此人脸不予命名。</translation>
    </message>
    <message>
        <source>Calibrate for strangers to see how many strangers come this close.</source>
        <translation>针对陌生人校准后，可查看有多少陌生人会如此接近。</translation>
    </message>
    <message>
        <source>%1 % of strangers come this close.</source>
        <translation>%1 % 的陌生人会如此接近。</translation>
    </message>
    <message>
        <source>(no picture)</source>
        <translation>（无图像）</translation>
    </message>
</context>
<context>
    <name>PhotoView</name>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
</context>
<context>
    <name>RecognizePage</name>
    <message>
        <source>Open, drop or paste a photo: every face in it is named.</source>
        <translation>打开、拖入或粘贴一张照片：照片中的每张人脸都会被命名。</translation>
    </message>
    <message>
        <source>No face found in %1.</source>
        <translation>%1 中未找到人脸。</translation>
    </message>
    <message>
        <source>%1: one face, %2 named.</source>
        <translation>%1：一张人脸，%2 张已命名。</translation>
    </message>
    <message>
        <source>%1: %2 faces, %3 named; click a face to see its candidates.</source>
        <translation>%1：%2 张人脸，%3 张已命名；点击人脸可查看其候选人。</translation>
    </message>
    <message>
        <source>%1, face %2 of %3</source>
        <translation>%1，第 %2 张人脸（共 %3 张）</translation>
    </message>
</context>
<context>
    <name>StudioModel</name>
    <message>
        <source>Reading %1...</source>
        <translation>正在读取 %1……</translation>
    </message>
    <message>
        <source>reading images</source>
        <translation>正在读取图像</translation>
    </message>
    <message>
        <source>training</source>
        <translation>正在训练</translation>
    </message>
    <message>
        <source>finding faces</source>
        <translation>正在查找人脸</translation>
    </message>
    <message>
        <source>Cannot train on %1: %2</source>
        <translation>无法用 %1 训练：%2</translation>
    </message>
    <message>
        <source>Training cancelled; the model is as it was.</source>
        <translation>训练已取消；模型保持不变。</translation>
    </message>
    <message>
        <source>Retraining needs the folder of people the model was trained on: File &gt; Train on a folder of people.</source>
        <translation>重新训练需要模型训练时所用的人员文件夹：文件 &gt; 用人员文件夹训练。</translation>
    </message>
    <message>
        <source>The model is not saved: %1</source>
        <translation>模型未保存：%1</translation>
    </message>
    <message>
        <source>Adding %1...</source>
        <translation>正在添加 %1……</translation>
    </message>
    <message>
        <source>enrolling</source>
        <translation>正在登记</translation>
    </message>
    <message>
        <source>Left out: %1</source>
        <translation>已略过：%1</translation>
    </message>
    <message>
        <source>Cannot add %1: %2</source>
        <translation>无法添加 %1：%2</translation>
    </message>
    <message>
        <source>Adding cancelled; nobody was added.</source>
        <translation>添加已取消；未添加任何人。</translation>
    </message>
    <message>
        <source>Calibrating for %1 % of strangers named...</source>
        <translation>正在校准为 %1 % 的陌生人被命名……</translation>
    </message>
    <message>
        <source>people left out</source>
        <translation>留出的人员</translation>
    </message>
    <message>
        <source>Calibration cancelled; the threshold is as it was.</source>
        <translation>校准已取消；阈值保持不变。</translation>
    </message>
    <message>
        <source>Opening %1...</source>
        <translation>正在打开 %1……</translation>
    </message>
    <message>
        <source>Cannot open the model: %1</source>
        <translation>无法打开模型：%1</translation>
    </message>
    <message>
        <source>Opening cancelled.</source>
        <translation>打开已取消。</translation>
    </message>
</context>
<context>
    <name>StudioWindow</name>
    <message>
        <source>Retrain</source>
        <translation>重新训练</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Cancelling when the step under way ends...</source>
        <translation>当前步骤结束后取消……</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Train on a folder of people...</source>
        <translation>用人员文件夹训练(&amp;T)...</translation>
    </message>
    <message>
        <source>&amp;Add person...</source>
        <translation>添加人员(&amp;A)...</translation>
    </message>
    <message>
        <source>Re&amp;move person...</source>
        <translation>删除人员(&amp;M)...</translation>
    </message>
    <message>
        <source>&amp;Open model...</source>
        <translation>打开模型(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Save model as...</source>
        <translation>模型另存为(&amp;S)...</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>Recognize &amp;pasted image</source>
        <translation>识别粘贴的图像(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Recognizer</source>
        <translation>识别器(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Method</source>
        <translation>方法(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Parameters...</source>
        <translation>参数(&amp;P)...</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>Re&amp;train</source>
        <translation>重新训练(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Calibrate for strangers...</source>
        <translation>针对陌生人校准(&amp;C)...</translation>
    </message>
    <message>
        <source>&amp;Evaluate on the images not enrolled</source>
        <translation>用未登记的图像评估(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About morlin-studio</source>
        <translation>关于 morlin-studio(&amp;A)</translation>
    </message>
    <message>
        <source>About morlin-studio</source>
        <translation>关于 morlin-studio</translation>
    </message>
    <message>
        <source>Recognize</source>
        <translation>识别</translation>
    </message>
    <message>
        <source>Evaluate</source>
        <translation>评估</translation>
    </message>
    <message>
        <source>morlin-studio</source>
        <translation>morlin-studio</translation>
    </message>
    <message>
        <source>Train</source>
        <translation>训练</translation>
    </message>
    <message>
        <source>Images to enrol per person, in name order (0: all of them; the rest are kept for evaluation):</source>
        <translation>每人登记的图像数，按名称顺序（0：全部；其余留作评估）：</translation>
    </message>
    <message>
        <source>Remove person</source>
        <translation>删除人员</translation>
    </message>
    <message>
        <source>Remove every image of:</source>
        <translation>删除此人的全部图像：</translation>
    </message>
    <message>
        <source>Open a model</source>
        <translation>打开模型</translation>
    </message>
    <message>
        <source>Models (*.morlin);;All files (*)</source>
        <translation>模型 (*.morlin);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Save the model as</source>
        <translation>模型另存为</translation>
    </message>
    <message>
        <source>Train a model first.</source>
        <translation>请先训练模型。</translation>
    </message>
    <message>
        <source>Calibrate for strangers</source>
        <translation>针对陌生人校准</translation>
    </message>
    <message>
        <source>Share of strangers that may be given a name, in %:
(the threshold comes from the model&apos;s own faces: each person is left out in turn and searched as a stranger)</source>
        <translation>允许被命名的陌生人比例（%）：
（阈值取自模型自身的人脸：依次留出每个人，并将其作为陌生人搜索）</translation>
    </message>
    <message>
        <source>Evaluating on %1 images not enrolled...</source>
        <translation>正在用 %1 张未登记的图像评估……</translation>
    </message>
    <message>
        <source>The clipboard holds no image.</source>
        <translation>剪贴板中没有图像。</translation>
    </message>
    <message>
        <source>pasted image</source>
        <translation>粘贴的图像</translation>
    </message>
    <message>
        <source>Train a model first: File &gt; Train on a folder of people, or open one.</source>
        <translation>请先训练模型：文件 &gt; 用人员文件夹训练，或打开一个模型。</translation>
    </message>
    <message>
        <source>dropped image</source>
        <translation>拖入的图像</translation>
    </message>
    <message>
        <source>No model: File &gt; Train on a folder of people, or File &gt; Open model. The next training uses %1.</source>
        <translation>没有模型：文件 &gt; 用人员文件夹训练，或文件 &gt; 打开模型。下次训练使用 %1。</translation>
    </message>
    <message>
        <source>, calibrated for %1 of strangers named</source>
        <translation>，已校准为 %1 的陌生人被命名</translation>
    </message>
    <message>
        <source> The model is out of date: the next training uses %1; the model recognizes until you retrain.</source>
        <translation> 模型已过时：下次训练使用 %1；重新训练前，仍用当前模型识别。</translation>
    </message>
    <message>
        <source>%1 people, %2 images enrolled; kept in %3.</source>
        <translation>已登记 %1 人、%2 张图像；保存在 %3。</translation>
    </message>
    <message>
        <source> %1 images of %2 held back for evaluation.</source>
        <translation> %2 中的 %1 张图像留作评估。</translation>
    </message>
    <message>
        <source>Finishing the step under way before closing...</source>
        <translation>正在完成当前步骤，然后关闭……</translation>
    </message>
    <message>
        <source>.</source>
        <comment>the end of the model&apos;s sentence</comment>
        <translation>。</translation>
    </message>
    <message>
        <source>Train on a folder with one folder of photos per person</source>
        <translation>用每人一个照片文件夹的文件夹训练</translation>
    </message>
    <message>
        <source>Add person: a folder of one person&apos;s photos, named after the person</source>
        <translation>添加人员：一个人的照片文件夹，以此人命名</translation>
    </message>
    <message>
        <source>Evaluation needs a folder of crops with images that were not enrolled: train on the first K images per person to keep the others for it.</source>
        <translation>评估需要一个含有未登记图像的裁剪人脸文件夹：每人用前 K 张图像训练，其余留作评估。</translation>
    </message>
    <message>
        <source>Cannot evaluate: %1</source>
        <translation>无法评估：%1</translation>
    </message>
    <message>
        <source>Evaluation cancelled.</source>
        <translation>评估已取消。</translation>
    </message>
    <message>
        <source>Recognize the faces of a photo</source>
        <translation>识别照片中的人脸</translation>
    </message>
    <message>
        <source>Images (*.jpg *.jpeg *.png *.webp *.bmp *.gif *.pgm *.ppm *.tif *.tiff);;All files (*)</source>
        <translation>图像 (*.jpg *.jpeg *.png *.webp *.bmp *.gif *.pgm *.ppm *.tif *.tiff);;所有文件 (*)</translation>
    </message>
    <message>
        <source>%1 is %2 x %3 pixels; the model&apos;s images are %4 x %5. Crop or scale it to that size, or train a model on photos.</source>
        <translation>%1 为 %2 x %3 像素；模型的图像为 %4 x %5。请将其裁剪或缩放到该尺寸，或用照片训练模型。</translation>
    </message>
    <message>
        <source>Model: %1, on %2 of %3 x %4 pixels. A name needs a score under %5</source>
        <translation>模型：%1，基于 %3 x %4 像素的%2。命名需要分数低于 %5</translation>
    </message>
    <message>
        <source>faces found in photos</source>
        <translation>照片中找到的人脸</translation>
    </message>
    <message>
        <source>crops</source>
        <translation>裁剪人脸</translation>
    </message>
    <message>
        <source>&amp;Recognize a photo...</source>
        <translation>识别照片(&amp;R)...</translation>
    </message>
    <message>
        <source>morlin-studio: train a face identification model, name the faces in photos, tune and calibrate it.

Recognizer: %1 %2 by %3</source>
        <translation>morlin-studio：训练人脸识别模型，为照片中的人脸命名，调整并校准模型。

识别器：%1 %2，作者 %3</translation>
    </message>
</context>
</TS>
