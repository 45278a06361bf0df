#!/usr/bin/perl
#################################################################
#  清风论坛 —— 论坛统计（stats.cgi）
#  这个程序用 do 读入设置，没有 require 语句
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
do "$KQPATH/qf_setup.pl";

$query = new KQCGI;
print header(-charset=>gb2312);
print start_html(-title=>"清风论坛 - 统计");
opendir (DATA, $datadir);
my @forums = grep { /^\d+$/ } readdir(DATA);
closedir (DATA);
print "<p>共有 " . scalar(@forums) . " 个版面。</p>";
print end_html;
exit;
