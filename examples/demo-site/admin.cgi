#!/usr/bin/perl
#################################################################
#  清风论坛 —— 论坛管理（admin.cgi）
#  只有 qf_setup.pl 里列出的管理员才能进入
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
&error("只有管理员才能进入论坛管理！") unless (&is_admin($member));
$board = $query->param('board');
$topic = $query->param('topic');

&page_top("论坛管理");
if ($query->param('action') eq "delete") {
    &check_board($board);
    my ($title, @posts) = &read_topic($board, $topic);
    &error("找不到这个帖子。") unless (@posts);
    unlink("$datadir/$board/$topic.txt", glob("$datadir/upload/$board-$topic-*"));
    print qq(<p class="error">帖子“$title”和它的附件已经删除。</p>\n);
}
foreach my $b (1 .. @boards) {
    print qq(<h3>$boards[$b - 1]</h3>\n);
    foreach my $id (&topic_ids($b)) {
        my ($title) = &read_topic($b, $id);
        print qq(<form method="post" action="admin.cgi"><p><a href="topic.cgi?board=$b&amp;topic=$id">$title</a> );
        print qq(<input type="hidden" name="action" value="delete" /><input type="hidden" name="board" value="$b" />);
        print qq(<input type="hidden" name="topic" value="$id" /><input type="submit" value="删除" /></p></form>\n);
    }
}
print qq(<h3>会员</h3>\n<p>) . join("，", map { "$_->{name}（$_->{date}）" } &read_members) . qq(</p>);
&page_end;
exit;
