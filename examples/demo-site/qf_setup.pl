# 清风论坛的设置，各程序用 require 读入。
# 数据目录放会员、帖子、附件和头像；默认在本文件旁边，也可以改成绝对路径。
$forumname = "清风论坛";
$sitedir   = (__FILE__ =~ m!^(.*)[\\/]!) ? $1 : ".";
$datadir   = "$sitedir/qfdata";
$dataurl   = "qfdata";                       # 浏览器看到的数据目录
@boards    = ("灌水乐园", "技术交流", "站务公告");
@admins    = ("站长");
@attachtypes = ("gif", "jpg", "png", "zip", "txt");
1;
