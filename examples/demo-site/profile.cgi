#!/usr/bin/perl
#################################################################
#  清风论坛 —— 修改个人资料和头像（profile.cgi）
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
$addme = $query->param('addme');
$membername = &check_login($query);
&error("请先登录，再修改个人资料！") unless ($membername);

&save_profile($membername, $query->param('email'), $query->param('signature'));
if ($addme) {
    my $filename =$query->uploadInfo($addme);
    &error("头像只能是 gif 或 jpg 图片！") unless ($filename =~ /\.(gif|jpg)$/i);
    open (FACE, ">$facedir/$membername-$filename") or &error("头像保存失败！");
    binmode FACE;
    while ($buffer=$query->readUploadFile($addme)) {
        print FACE $buffer;
    }
    close (FACE);
}
print header(-charset=>gb2312);
print "<p>个人资料已经更新。</p>";
exit;
