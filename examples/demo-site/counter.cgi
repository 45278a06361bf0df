#!/usr/bin/perl
#################################################################
#  清风论坛 —— 访问计数器（counter.cgi）
#  首页用 <script> 引用它；它用 do 读入设置，没有 require 语句
#################################################################
BEGIN {
    $KQPATH = '.';
    my $pgm = $0;
    $pgm =~s/\\/\//g;
    $pgm =~s/^.*\/([^\/]+)$/$1/g;
    unless (-e $KQPATH.'/'.$pgm) {
        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {
            s!\\!/!g; s/^(.*)\/[^\/]+$/$1/g;
            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; }
        }
    }
    unshift (@INC, "$KQPATH");
}
use KQCGI;
do "qf_setup.pl";

$query = new KQCGI;
open (COUNT, "+>>$datadir/counter.txt") or exit;
flock (COUNT, 2);
seek (COUNT, 0, 0);
$count = <COUNT> + 1;
truncate (COUNT, 0);
print COUNT $count;
close (COUNT);
print header(-type=>'text/javascript', -charset=>gb2312);
print "document.write('您是本站的第 $count 位访客');";
exit;
