KQCGI
print 1;
