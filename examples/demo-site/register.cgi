#!/usr/bin/perl
#################################################################
#  清风论坛 —— 新用户注册（register.cgi）
#  注册时可以同时上传头像
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
$membername = $query->param('membername');
$password   = $query->param('password');
$addme      = $query->param('addme');
&error("用户名不能为空！") if ($membername eq "");
&error("这个用户名已经有人使用了，请换一个！") if (&member_exists($membername));

&create_member($membername, $password, $query->param('email'));
if ($addme) {
    my $filename =$query->uploadInfo($addme);
    open (FACE, ">$facedir/$membername-$filename") or &error("头像保存失败！");
    binmode FACE;
    while ($buffer=$query->readUploadFile($addme)) {
        print FACE $buffer;
    }
    close (FACE);
}
print header(-charset=>gb2312);
print "<p>注册成功，欢迎您加入清风论坛！</p>";
exit;
