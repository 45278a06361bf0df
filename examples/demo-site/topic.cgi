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
$member = &check_login($query);
$board = $query->param('board');
$topic = $query->param('topic');
&check_board($board);
my ($title, @posts) = &read_topic($board, $topic);
&error("找不到这个帖子，它可能已经被删除了。") unless (@posts);

&page_top($title);
print qq(<p class="where"><a href="forum.cgi?board=$board">$boards[$board - 1]</a> → 共 ) . scalar(@posts) . qq( 篇</p>\n);
my %members = map { $_->{name} => $_ } &read_members;
foreach my $post (@posts) {
    my ($author, $time, $attachment, $text) = split(/\t/, $post);
    print qq(<div class="post"><div class="author">) . &face_html($members{$author}) . qq(<b>$author</b><br />$time</div>\n);
    print qq(<div class="text">$text);
    if ($attachment ne "") {
        my $size = -s "$datadir/upload/$attachment";
        print qq(<br /><img class="picture" src="$dataurl/upload/$attachment" alt="" />) if ($attachment =~ /\.(gif|jpg|png)$/);
        print qq(<p class="attachment">附件：<a href="$dataurl/upload/$attachment">$attachment</a>（$size 字节）</p>);
    }
    print qq(<p class="sign">$members{$author}{signature}</p>) if ($members{$author} && $members{$author}{signature} ne "");
    print qq(</div></div>\n);
}
if ($member) {
    print qq(<form method="post" enctype="multipart/form-data" action="postings.cgi">\n);
    print qq(<input type="hidden" name="board" value="$board" /><input type="hidden" name="topic" value="$topic" />\n);
    print qq(<p>回复：<br /><textarea name="message" rows="4" cols="60"></textarea></p>\n);
    print qq(<p>附件：<input type="file" name="addme" /> <input type="submit" value="回复" /></p></form>);
} else {
    print qq(<p><a href="login.cgi">登录</a>以后可以回复。</p>);
}
&page_end;
exit;
