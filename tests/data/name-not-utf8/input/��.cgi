print 1;
