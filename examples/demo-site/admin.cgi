#!/usr/bin/perl
#################################################################
#  清风论坛 —— 论坛管理（admin.cgi）
#  只有管理员才能使用。誠邀各位版主提出改进意见。
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
use kqcgi;
require "qf_setup.pl";
require "qf_common.pl";
require "qf_admin.pl";

$query = new KqCgi;
&error("只有管理员才能进入论坛管理！") unless (&is_admin(&check_login($query)));

$action = $query->param('action');
if    ($action eq "delete") { &delete_topic($query->param('forum'), $query->param('topic')); }
elsif ($action eq "lock")   { &lock_topic($query->param('forum'), $query->param('topic'));   }
elsif ($action eq "ban")    { &ban_member($query->param('membername'));                      }
print header(-charset=>gb2312);
print "<p>操作完成。<a href=\"admin.cgi\">返回论坛管理</a></p>";
exit;
