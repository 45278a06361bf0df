#!/usr/bin/perl
# part of CGI
line3
line4
line5
line6
line7
line8
line9
eval {
($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");
($0 =~ m,(.*)\\[^\\]+,) and unshift (@INC, "$1");
($0 =~ m,[/\\],)        or unshift (@INC, ".");
require "a.pl"};
if (my $err = $@) {
    print header(-charset=>gb2312); print start_html(-title=>"KQ7100 出错！");
    print "不能够找到文件：$err\n请更改每个程序中的 require 语句，填入绝对路径！";
    print end_html; exit;
}
$y = 2;
