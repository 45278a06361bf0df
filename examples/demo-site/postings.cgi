#!/usr/bin/perl
#################################################################
#  清风论坛 —— 回复帖子，可以带一个附件（postings.cgi）
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
&error("请先登录，再回复！") unless ($member);
$board = $query->param('board');
$topic = $query->param('topic');
&check_board($board);
my @lines = &read_topic($board, $topic);
&error("找不到这个帖子，它可能已经被删除了。") unless (@lines);
$addme = $query->param('addme');
$message = $query->param('message');
&error("回复的内容和附件不能都是空的！") if ($message eq "" && !$addme);

$attachment = "";
if ($addme) {
    my $up_filename =$query->uploadInfo($addme);
    my ($up_name,$up_ext) = split(/\./,$up_filename);
    $up_ext = lc($up_ext);
    &allowed_attachment($up_ext);
    $attachment = "$board-$topic-" . (@lines - 1) . ".$up_ext";
    open (PIC, ">$datadir/upload/$attachment") or &error("无法保存上传的附件！");
    binmode PIC;
        while ($buffer=$query->readUploadFile($addme)) {
            print PIC $buffer;
        }
    close (PIC);
}
&add_post($board, $topic, "", $member, $attachment, $message);
&page_top("回复成功");
print qq(<p><a href="topic.cgi?board=$board&amp;topic=$topic">回到帖子</a></p>);
&page_end;
exit;
