# 清风论坛的设置，由 require 读入
$forumname = "清风论坛";
$datadir   = "./data";
$uploaddir = "./upload";
$digestdir = "./digest";
$facedir   = "./face";
1;
