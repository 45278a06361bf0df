#!/usr/bin/perl
#################################################################
#  清风论坛 —— 论坛首页和各版面的帖子列表（forum.cgi）
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
$member = &check_login($query);
$board = $query->param('board');

if ($board eq "") {
    &page_top("论坛首页");
    print qq(<table class="list"><tr><th>版面</th><th>帖子</th><th>最新的帖子</th></tr>\n);
    foreach my $b (1 .. @boards) {
        my @ids = &topic_ids($b);
        my ($title) = @ids ? &read_topic($b, $ids[0]) : ("");
        print qq(<tr><td><a href="forum.cgi?board=$b">$boards[$b - 1]</a></td><td>) . scalar(@ids) . qq(</td>);
        print qq(<td>) . (@ids ? qq(<a href="topic.cgi?board=$b&amp;topic=$ids[0]">$title</a>) : "") . qq(</td></tr>\n);
    }
    print qq(</table>\n<p class="counter"><script type="text/javascript" src="counter.cgi"></script></p>);
} else {
    &check_board($board);
    &page_top($boards[$board - 1]);
    print qq(<table class="list"><tr><th>标题</th><th>作者</th><th>回复</th><th>最后发表</th></tr>\n);
    foreach my $id (&topic_ids($board)) {
        my ($title, @posts) = &read_topic($board, $id);
        my ($author) = split(/\t/, $posts[0]);
        my (undef, $time) = split(/\t/, $posts[-1]);
        print qq(<tr><td><a href="topic.cgi?board=$board&amp;topic=$id">$title</a></td><td>$author</td><td>) . $#posts . qq(</td><td>$time</td></tr>\n);
    }
    print qq(</table>\n<p><a href="post.cgi?board=$board">在这个版面发表新帖</a></p>);
}
&page_end;
exit;
