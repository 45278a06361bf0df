#!/usr/bin/perl
#################################################################
#  清风论坛 —— 精华区投稿（postings.cgi）
#  投稿可以附带一张图片
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
require "qf_digest.pl";

$query = new KQCGI;
$addme = $query->param('addme');
&error("请先登录！") unless (&check_login($query));

my $subject = $query->param('subject');
&error("请填写投稿的题目！") if ($subject eq "");
if ($addme) {
    my $up_filename =$query->uploadInfo($addme);
    my ($up_name,$up_ext) = split(/\./,$up_filename);
    &error("投稿只接受 gif 或 jpg 图片！") unless ($up_ext =~ /^(gif|jpg)$/i);
    open (PIC, ">$digestdir/" . time() . ".$up_ext") or &error("图片保存失败！");
    binmode PIC;
        while ($buffer=$query->readUploadFile($addme)) {
            print PIC $buffer;
        }
    close (PIC);
}
&save_digest($subject, $query->param('content'));
print header(-charset=>gb2312);
print "<p>投稿已收到，版主审核后会放入精华区。</p>";
exit;
