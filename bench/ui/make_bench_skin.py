"""Writes the benchmark skin: a main page of 818 x 579 and twenty nested pages of
fifteen controls each (every page holds the next one), plus the test skin's images.

usage: make_bench_skin.py OUTPUT.zip IMAGE_FOLDER
"""
import os
import sys
import zipfile

PAGES = 20

MAIN = """<?xml version="1.0" encoding="utf-8"?>
<Window size="818,579" caption="0,0,0,130" bktrans="true">
  <Font name="微软雅黑" size="16" bold="true" />
  <Font name="微软雅黑" size="13" default="true" />
  <Font name="微软雅黑" size="24" />
  <VerticalLayout name="root" bkimage="file='panel.png' corner='14,14,14,14'" inset="4,4,4,4">
    <HorizontalLayout height="126" bkimage="file='header.png'" inset="20,0,10,0">
      <Label text="Korvane 性能测试页" font="2" textcolor="#FFFFFFFF" />
    </HorizontalLayout>
    <TabLayout name="MainTab">
      <BenchPage0 />
    </TabLayout>
  </VerticalLayout>
</Window>
"""


def page(k):
    nest = ""
    if k + 1 < PAGES:
        nest = (f'<Container name="nest{k}" float="true" pos="0,0,810,445" visible="false">'
                f'<BenchPage{k + 1} /></Container>')
    gif = ""
    if k == 0:
        gif = '<Gif name="gif0" float="true" pos="600,150,648,198" bkimage="loading.gif" />'
    return f"""<?xml version="1.0" encoding="utf-8"?>
<Window size="810,445">
  <VerticalLayout name="page{k}">
    <Label name="title{k}" float="true" pos="20,12,400,36" text="第 {k} 页：选择要重装的系统" font="0" textcolor="#FF1F2D3D" />
    <Option name="opA{k}" float="true" pos="20,44,160,74" group="g{k}" selected="true" text="32位纯净版" textpadding="26,0,0,0" align="left"
            normalimage="file='opt_normal.png' dest='0,5,20,25'" selectedimage="file='opt_selected.png' dest='0,5,20,25'" />
    <Option name="opB{k}" float="true" pos="170,44,310,74" group="g{k}" text="32位装机版" textpadding="26,0,0,0" align="left"
            normalimage="file='opt_normal.png' dest='0,5,20,25'" selectedimage="file='opt_selected.png' dest='0,5,20,25'" />
    <Option name="opC{k}" float="true" pos="320,44,460,74" group="g{k}" text="64位纯净版" textpadding="26,0,0,0" align="left"
            normalimage="file='opt_normal.png' dest='0,5,20,25'" selectedimage="file='opt_selected.png' dest='0,5,20,25'" />
    <Label name="note{k}" float="true" pos="20,90,260,130" text="推荐安装 Windows 7" align="center" font="0" bkcolor="#FFFFF4D6" bordersize="1" bordercolor="#FFE0B84C" />
    <Text name="wrap{k}" float="true" pos="280,84,560,134" align="centerwrap" textcolor="#FF0090E0" text="这是一段比较长的说明文字，用来检查居中换行的效果是否正确。" />
    <Text name="path{k}" float="true" pos="580,90,790,114" endellipsis="true" text="D:\\QMZ\\Windows7_64位_装机版\\WIN7X64.GHO" />
    <Edit name="edit{k}" float="true" pos="20,150,260,174" bkimage="file='edit_bk.png' corner='2,0,2,0'" textpadding="4,3,4,3" text="D:\\QMZ" />
    <Progress name="progress{k}" float="true" pos="280,156,560,168" value="40" bkimage="prog_bk.png" foreimage="prog_fore.png" />
    <Label name="logo{k}" float="true" pos="20,200,84,264" bkimage="logo_1.png" />
    <Control name="grid{k}" float="true" pos="110,200,210,260" bkimage="file='grid.png' corner='10,10,10,10'" />
    <Button name="ok{k}" float="true" pos="650,200,750,232" text="开始下载" textcolor="#FFFFFFFF" normalimage="btn_normal.png" hotimage="btn_hot.png" pushedimage="btn_pushed.png" />
    <Button name="back{k}" float="true" pos="650,250,750,282" text="返回" textcolor="#FFFFFFFF" normalimage="btn_normal.png" hotimage="btn_hot.png" pushedimage="btn_pushed.png" />
    <Text name="status{k}" float="true" pos="320,340,790,440" text="状态：正在下载 Windows 10 64位装机版，已完成 40%。" />
    {gif}
    {nest}
  </VerticalLayout>
</Window>
"""


def main():
    out, images = sys.argv[1], sys.argv[2]
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("Bench.xml", MAIN)
        for k in range(PAGES):
            z.writestr(f"BenchPage{k}.xml", page(k))
        for name in sorted(os.listdir(images)):
            if name.lower().endswith((".png", ".jpg", ".gif")):
                z.write(os.path.join(images, name), name)
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
