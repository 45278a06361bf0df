#!/usr/bin/perl
# 清风论坛 —— 使用帮助（help.cgi）
# 只显示静态的帮助页面，早已改用标准 CGI 模块。
use CGI qw(:standard);

print header(-charset=>gb2312);
print start_html(-title=>"清风论坛 - 使用帮助");
print h2("怎样发表帖子？");
print p("先登录，然后在版面中点击“发表新帖”。可以附带一个不超过 200K 的附件。");
print h2("怎样修改头像？");
print p("在“个人资料”中上传一张 gif 或 jpg 图片。");
print end_html;
exit;
