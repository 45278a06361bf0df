#!/usr/bin/perl
#################################################################
#  清风论坛 —— 论坛统计（stats.cgi）
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
my @members = &read_members;
my ($topics, $replies, $files, $bytes) = (0, 0, 0, 0);

&page_top("论坛统计");
print qq(<table class="list"><tr><th>版面</th><th>主题</th><th>回复</th></tr>\n);
foreach my $board (1 .. @boards) {
    my ($t, $r) = (0, 0);
    foreach my $id (&topic_ids($board)) {
        my ($title, @posts) = &read_topic($board, $id);
        $t++;
        $r += $#posts;
        foreach (@posts) {
            my $attachment = (split(/\t/))[2];
            next if ($attachment eq "");
            $files++;
            $bytes += -s "$datadir/upload/$attachment";
        }
    }
    print qq(<tr><td>$boards[$board - 1]</td><td>$t</td><td>$r</td></tr>\n);
    $topics += $t;
    $replies += $r;
}
print qq(</table>\n<p>会员 ) . scalar(@members) . qq( 位，最新加入的是 $members[-1]{name}。</p>\n);
print qq(<p>主题 $topics 个，回复 $replies 篇，附件 $files 个，共 $bytes 字节。</p>);
&page_end;
exit;
