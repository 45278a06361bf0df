#!/usr/bin/perl
#################################################################
#  清风论坛 —— 版面帖子列表（forum.cgi）
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
$forum = $query->param('forum') || 1;
$page  = $query->param('page')  || 1;

print header(-charset=>gb2312);
print start_html(-title=>"清风论坛 - 第 $forum 版");
my @topics = &read_topics($forum);
my $perpage = 20;
foreach my $topic (@topics[($page - 1) * $perpage .. $page * $perpage - 1]) {
    next unless ($topic);
    my ($topicid, $title, $author, $replies) = split(/\t/, $topic);
    print "<p><a href=\"topic.cgi?forum=$forum&topic=$topicid\">$title</a>";
    print " 作者：$author 回复：$replies</p>\n";
}
print "<p><a href=\"post.cgi?forum=$forum\">发表新帖</a></p>";
print end_html;
exit;
