#!/usr/bin/perl
#################################################################
#  清风论坛 —— 发表新帖，可以带一个附件（post.cgi）
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
&error("请先登录，再发表帖子！") unless ($member);
$board = $query->param('board') || 1;
&check_board($board);
$addme = $query->param('addme');

if ($query->param('action') eq "new") { &new_topic; }
else                                  { &post_form; }
exit;

sub new_topic {
    my $title = $query->param('title');
    &error("帖子的标题不能为空！") if ($title eq "");
    my @ids = &topic_ids($board);
    $topicid = (@ids ? $ids[0] : 0) + 1;
    my $attachment = $addme ? &save_attachment("$board-$topicid-0") : "";
    &add_post($board, $topicid, $title, $member, $attachment, scalar $query->param('message'));
    &page_top("帖子已经发表");
    print qq(<p>谢谢您的参与！<a href="topic.cgi?board=$board&amp;topic=$topicid">看看您的帖子</a></p>);
    &page_end;
}

# 附件存为“版面-帖子-篇”加上原来的扩展名
sub save_attachment {
    my ($savename) = @_;
    my $up_filename =$query->uploadInfo($addme);
    my ($up_name,$up_ext) = split(/\./,$up_filename);
    $up_ext = lc($up_ext);
    &allowed_attachment($up_ext);
    open (UPLOAD, ">$datadir/upload/$savename.$up_ext") or &error("无法保存上传的附件！");
    binmode UPLOAD;
    while ($buffer=$query->readUploadFile($addme)) {
        print UPLOAD $buffer;
    }
    close (UPLOAD);
    return "$savename.$up_ext";
}

sub post_form {
    &page_top("发表新帖");
    print qq(<form method="post" enctype="multipart/form-data" action="post.cgi">\n);
    print qq(<input type="hidden" name="action" value="new" />\n<p>版面：<select name="board">);
    foreach my $b (1 .. @boards) {
        print qq(<option value="$b") . ($b == $board ? ' selected="selected"' : '') . qq(>$boards[$b - 1]</option>);
    }
    print qq(</select></p>\n<p>标题：<input name="title" size="50" /></p>\n);
    print qq(<p>内容：<br /><textarea name="message" rows="8" cols="60"></textarea></p>\n);
    print qq(<p>附件（@attachtypes）：<input type="file" name="addme" /></p>\n<p><input type="submit" value="发表" /></p></form>);
    &page_end;
}
