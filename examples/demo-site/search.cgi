#!/usr/bin/perl
#################################################################
#  清风论坛 —— 搜索帖子（search.cgi）
#  搜索的关键字最长 40 个字
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

$KQCGI::POST_MAX = 1024 * 10;
$query = new KQCGI;
$keyword = $query->param('keyword');
&error("请输入要搜索的关键字！") if ($keyword eq "");

print header(-charset=>gb2312);
print start_html(-title=>"清风论坛 - 搜索结果");
my $found = 0;
foreach my $forum (&forum_list) {
    foreach my $topic (&read_topics($forum)) {
        my ($topicid, $title) = split(/\t/, $topic);
        next unless (index($title, $keyword) >= 0);
        print "<p><a href=\"topic.cgi?forum=$forum&topic=$topicid\">$title</a></p>\n";
        $found++;
    }
}
print "<p>没有找到包含“$keyword”的帖子。</p>" unless ($found);
print end_html;
exit;
