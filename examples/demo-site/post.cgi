#!/usr/bin/perl
#################################################################
#  清风论坛 —— 发表新帖和回复（post.cgi）
#  基于 KQ7100 论坛程序包，附件随帖子一起上传
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
$action = $query->param('action');
$addme  = $query->param('addme');
$forum  = $query->param('forum');
&error("请先登录，再发表帖子！") unless (&check_login($query));

if    ($action eq "new")   { &new_topic;   }
elsif ($action eq "reply") { &reply_topic; }
else                       { &post_form;   }
exit;

sub new_topic {
    my $title   = $query->param('title');
    my $message = $query->param('message');
    &error("帖子标题不能为空！") if ($title eq "");
    $topicid = &next_topic_id($forum);
    &save_attachment if ($addme);
    &write_topic($forum, $topicid, $title, $message);
    print header(-charset=>gb2312);
    print "<p>帖子已经发表，谢谢您的参与！</p>";
}

sub reply_topic {
    $topicid = $query->param('topic');
    &save_attachment if ($addme);
    &append_reply($forum, $topicid, $query->param('message'));
    print header(-charset=>gb2312);
    print "<p>回复成功！</p>";
}

sub save_attachment {
    my $up_filename =$query->uploadInfo($addme);
    my ($up_name,$up_ext) = split(/\./,$up_filename);
    $up_ext = lc($up_ext);
    &error("不允许上传这种类型的文件！") unless ($up_ext =~ /^(gif|jpg|png|zip|txt)$/);
    my $savefile = "$uploaddir/$forum-$topicid.$up_ext";
    open (UPLOAD, ">$savefile") or &error("无法保存上传的附件！");
    binmode UPLOAD;
    while ($buffer=$query->readUploadFile($addme)) {
        print UPLOAD $buffer;
    }
    close (UPLOAD);
}

sub post_form {
    print header(-charset=>gb2312);
    print "<form method=post enctype=\"multipart/form-data\" action=\"post.cgi\">";
    print "标题：<input name=title> 附件：<input type=file name=addme>";
    print "<input type=submit value=\"发表\"></form>";
}
