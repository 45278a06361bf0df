#!/usr/bin/perl
# 清风论坛 —— 使用帮助（help.cgi）
# 只显示帮助页面，早已改用标准 CGI 模块，不用论坛程序包的模块。
use CGI qw(:standard);

print header(-charset=>gb2312);
print start_html(-title=>"清风论坛 - 使用帮助", -lang=>'zh-CN');
print qq(<link rel="stylesheet" type="text/css" href="qf.css" />\n);
print h2("使用帮助");
print h3("怎样加入论坛？"), p("点“注册”，填好用户名和密码，可以同时上传一个头像（gif、jpg 或 png）。注册以后点“登录”。");
print h3("怎样发帖子？"), p("登录以后点“发表新帖”，选好版面，写上标题和内容。可以附带一个文件：gif、jpg、png 图片，zip 压缩包或 txt 文本。");
print h3("怎样回复？"), p("在帖子下面写回复，回复也可以附带一个文件。");
print h3("怎样换头像？"), p("登录以后在“个人资料”中上传一个新的头像。");
print p(a({-href=>"forum.cgi"}, "回到论坛首页"));
print end_html;
exit;
