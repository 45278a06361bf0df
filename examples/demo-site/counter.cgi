#!/usr/bin/perl
# 清风论坛 —— 访问计数器（counter.cgi）
# 这是站长自己写的小程序，不使用论坛的模块。
use strict;

my $countfile = "counter.txt";
my $count = 0;
if (open(my $in, "<", $countfile)) {
    $count = <$in> || 0;
    close($in);
}
$count++;
if (open(my $out, ">", $countfile)) {
    print $out $count;
    close($out);
}
print "Content-type: text/html; charset=gb2312\n\n";
print "您是本站第 $count 位访客";
exit;
