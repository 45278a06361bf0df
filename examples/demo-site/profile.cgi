#!/usr/bin/perl
#################################################################
#  清风论坛 —— 修改个人资料，换头像（profile.cgi）
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
$member = &check_login($query);
&error("请先登录，再修改个人资料！") unless ($member);
my @members = &read_members;
my ($m) = grep { $_->{name} eq $member } @members;

if ($query->param('action') eq "save") {
    $m->{email} = &text_to_html(scalar $query->param('email'));
    $m->{signature} = &text_to_html(scalar $query->param('signature'));
    if ($addme) {
        my $filename =$query->uploadInfo($addme);
        ($ext = lc($filename)) =~ s/^.*\.//;
        &error("头像只能是 gif、jpg 或 png 图片！") unless ($ext =~ /^(gif|jpg|png)$/);
        mkdir("$datadir/face");
        open (FACE, ">$datadir/face/$m->{id}.$ext") or &error("头像保存失败！");
        binmode FACE;
        while ($buffer=$query->readUploadFile($addme)) {
            print FACE $buffer;
        }
        close (FACE);
        unlink("$datadir/face/$m->{id}.$m->{face}") if ($m->{face} ne "" && $m->{face} ne $ext);
        $m->{face} = $ext;
    }
    &save_members(@members);
    &page_top("个人资料已经更新");
} else {
    &page_top("个人资料");
}
print qq(<form method="post" enctype="multipart/form-data" action="profile.cgi">\n);
print qq(<input type="hidden" name="action" value="save" />\n<p>) . &face_html($m) . qq(<b>$member</b>，注册于 $m->{date}</p>\n);
print qq(<p>电子邮件：<input name="email" value="$m->{email}" /></p>\n);
print qq(<p>签名：<input name="signature" size="50" value="$m->{signature}" /></p>\n);
print qq(<p>换一个头像：<input type="file" name="addme" /></p>\n<p><input type="submit" value="保存" /></p></form>);
&page_end;
exit;
