#!/usr/bin/perl
#################################################################
#  清风论坛 —— 搜索帖子的标题和内容（search.cgi）
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
$member = &check_login($query);
$keyword = $query->param('keyword');

&page_top("搜索帖子");
my $shown = &text_to_html($keyword);
print qq(<form method="get" action="search.cgi"><p>关键字：<input name="keyword" value="$shown" /> <input type="submit" value="搜索" /></p></form>\n);
if ($keyword ne "") {
    my $found = 0;
    foreach my $board (1 .. @boards) {
        foreach my $id (&topic_ids($board)) {
            my ($title, @posts) = &read_topic($board, $id);
            my @hits = grep { index($_, $keyword) >= 0 } ($title, map { (split(/\t/))[3] } @posts);
            next unless (@hits);
            print qq(<p>[$boards[$board - 1]] <a href="topic.cgi?board=$board&amp;topic=$id">$title</a>（) . scalar(@hits) . qq( 处）</p>\n);
            $found++;
        }
    }
    print $found ? qq(<p>共找到 $found 个帖子。</p>) : qq(<p>没有找到包含“$shown”的帖子。</p>);
}
&page_end;
exit;
