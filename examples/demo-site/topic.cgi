#!/usr/bin/perl
#################################################################
#  清风论坛 —— 阅读帖子（topic.cgi）
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
require "qf_setup.pl";
require "qf_common.pl";

$query = new KQCGI;
$forum = $query->param('forum');
$topic = $query->param('topic');
&error("找不到这个帖子，它可能已经被删除了。") unless (-e "$datadir/$forum/$topic.txt");

print header(-charset=>gb2312);
print start_html(-title=>"清风论坛 - 阅读帖子");
open (TOPIC, "$datadir/$forum/$topic.txt");
my @lines = <TOPIC>;
close (TOPIC);
foreach (@lines) {
    my ($author, $time, $text) = split(/\t/);
    print "<hr><b>$author</b> 发表于 $time<br>$text\n";
}
print end_html;
exit;
